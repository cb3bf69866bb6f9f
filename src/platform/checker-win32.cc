// Calls that only the checker makes: the SHA-256 of files, through CNG
// (bcrypt.dll), and the computer's name. Linked into the checker only, so
// that the installer imports nothing it does not call.
#include <windows.h>

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

}  // namespace

bool HashFileSha256(void* file, uint8_t (&digest)[32]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  // No hash object passed: the system keeps it (Windows 7 and later).
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool hashed = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) &&
                HashToEnd(file, hash) && BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash != nullptr) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return hashed;
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
