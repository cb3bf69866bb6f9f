// Calls that only the checker makes: the SHA-256 of files, through CNG
// (bcrypt.dll), and the computer's name. Linked into the checker only, so
// that the installer imports nothing it does not call.
#include <windows.h>

#include <cwchar>

#include <bcrypt.h>

#include "platform/platform.h"

namespace platform {

namespace {

// Adds the bytes of `file` from its position to its end to `hash`.
bool HashToEnd(HANDLE file, BCRYPT_HASH_HANDLE hash) {
  // Maps may be hundreds of MB: they pass through one block, static as the
  // checker is single-threaded.
  static UCHAR block[1 << 16];
  DWORD count = 0;
  do {
    if (!::ReadFile(file, block, sizeof block, &count, nullptr)) return false;
    if (count > 0 && !BCRYPT_SUCCESS(::BCryptHashData(hash, block, count, 0))) return false;
  } while (count > 0);
  return true;
}

// The SHA-256 of what `add` adds to a hash; false when the system gives none
// or `add` fails.
template <typename Add>
bool HashSha256(uint8_t (&digest)[32], Add add) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  // No hash object passed: the system keeps it (Windows 7 and later).
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool hashed = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) && add(hash) &&
                BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash != nullptr) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return hashed;
}

}  // namespace

bool HashFileSha256(void* file, uint8_t (&digest)[32]) {
  return HashSha256(digest, [file](BCRYPT_HASH_HANDLE hash) { return HashToEnd(file, hash); });
}

bool HashBytesSha256(const void* data, size_t size, uint8_t (&digest)[32]) {
  return HashSha256(digest, [data, size](BCRYPT_HASH_HANDLE hash) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    return BCRYPT_SUCCESS(::BCryptHashData(hash, bytes, static_cast<ULONG>(size), 0));
  });
}

int64_t GetSystemTimeSeconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  // FILETIME counts 100 ns from 1601-01-01, 11,644,473,600 s before 1970.
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - INT64_C(11644473600);
}

void* CreateTemporaryFile() {
  wchar_t folder[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  // A new name, made once: CREATE_NEW fails where anything stands there,
  // a link planted by another user included, so it is never followed.
  static unsigned made = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    wchar_t path[MAX_PATH + 64];
    swprintf(path, MAX_PATH + 64, L"%lsThermalMapCheck-%lu-%lu-%u.tmp", folder, ::GetCurrentProcessId(),
             ::GetTickCount(), ++made);
    // Deleted by the system once closed, even when the program ends abruptly.
    HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS) return nullptr;
  }
  return nullptr;
}

bool RewindFile(void* file) {
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

const char kCheckerName[] = "ThermalMapCheck";

const char* FirmwareTableProblem() {
  return "GetSystemFirmwareTable gives no SMBIOS table on this machine; give a firmware file with --firmware";
}

uint32_t GetComputerNameExW(wchar_t* buffer, uint32_t capacity) {
  DWORD size = capacity;
  return ::GetComputerNameExW(ComputerNameDnsHostname, buffer, &size) ? size : 0;
}

}  // namespace platform
