// Calls that only the checker makes, over POSIX: the SHA-256 of files
// through OpenSSL's libcrypto, standard output, and the computer's name.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

// libcrypto's own SHA-256, not its EVP interface: EVP sets up its providers
// at the first digest, and that cost more than the rest of a one-machine
// check (3.8 of 6.8 million instructions). OpenSSL 3 keeps these calls,
// marked as deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/posix_files.h"
#include "platform/posix_text.h"

namespace platform {

const char kCheckerName[] = "thermalmapcheck";

bool HashFileSha256(void* file, uint8_t (&digest)[32]) {
  // Maps may be hundreds of MB: they pass through one block, static as the
  // checker is single-threaded.
  static unsigned char block[1 << 16];
  SHA256_CTX context;
  bool hashed = SHA256_Init(&context) == 1;
  while (hashed) {
    ssize_t count = ::read(Descriptor(file), block, sizeof block);
    if (count == 0) break;
    if (count < 0 && errno == EINTR) continue;
    hashed = count > 0 && SHA256_Update(&context, block, static_cast<size_t>(count)) == 1;
  }
  return SHA256_Final(digest, &context) == 1 && hashed;
}

bool HashBytesSha256(const void* data, size_t size, uint8_t (&digest)[32]) {
  // SHA256() itself goes through EVP in OpenSSL 3.
  SHA256_CTX context;
  return SHA256_Init(&context) == 1 && SHA256_Update(&context, data, size) == 1 &&
         SHA256_Final(digest, &context) == 1;
}

int64_t GetSystemTimeSeconds() { return static_cast<int64_t>(time(nullptr)); }

bool WriteStandardOutput(const char* text, size_t size) {
  // The writers hand over large blocks: no buffer of the C library between.
  while (size > 0) {
    ssize_t written = write(STDOUT_FILENO, text, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void* CreateTemporaryFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/thermalmapcheck-XXXXXX";
  int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Unlinked at once, the file lives while it is open and not a moment after.
  unlink(pattern.c_str());
  return new int(fd);
}

bool RewindFile(void* file) { return lseek(Descriptor(file), 0, SEEK_SET) == 0; }

uint32_t GetComputerNameExW(wchar_t* buffer, uint32_t capacity) {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return 0;
  std::wstring wide = WideFromNative(name);
  if (wide.size() >= capacity) return 0;
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = L'\0';
  return static_cast<uint32_t>(wide.size());
}

}  // namespace platform
