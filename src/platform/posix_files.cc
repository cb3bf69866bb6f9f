#include "platform/posix_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_text.h"

namespace platform {

namespace {

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && CompareStringOrdinal(a.c_str(), b.c_str(), static_cast<uint32_t>(a.size()));
}

}  // namespace

std::string NativePath(const wchar_t* path) {
  std::string native = NativeFromWide(path);
  struct stat status;
  if (lstat(native.c_str(), &status) == 0 || errno != ENOENT || native.empty()) return native;
  std::string found = native[0] == '/' ? "/" : "";
  size_t at = native[0] == '/' ? 1 : 0;
  while (at <= native.size()) {
    size_t end = std::min(native.find('/', at), native.size());
    std::string part = native.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    std::string next = found + part;
    if (lstat(next.c_str(), &status) != 0) {
      DIR* folder = opendir(found.empty() ? "." : found.c_str());
      std::vector<std::string> matches;
      std::wstring wanted = WideFromNative(part);
      while (folder != nullptr) {
        dirent* entry = readdir(folder);
        if (entry == nullptr) break;
        if (SameIgnoringCase(WideFromNative(entry->d_name), wanted)) matches.push_back(entry->d_name);
      }
      if (folder != nullptr) closedir(folder);
      if (matches.empty()) return native;
      next = found + *std::min_element(matches.begin(), matches.end());
    }
    found = next + (at <= native.size() ? "/" : "");
  }
  return found;
}

bool ReadNativeFile(const char* path, std::string& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  bytes.clear();
  char block[65536];
  size_t count = 0;
  while ((count = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, count);
  bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

const ProfileFile* ReadProfile(const wchar_t* file) {
  static struct {
    std::string path;
    struct stat status;
    ProfileFile parsed;
  } last;
  std::string path = NativePath(file);
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return nullptr;
  bool same = !last.path.empty() && last.path == path && last.status.st_ino == status.st_ino &&
              last.status.st_size == status.st_size && last.status.st_mtim.tv_sec == status.st_mtim.tv_sec &&
              last.status.st_mtim.tv_nsec == status.st_mtim.tv_nsec;
  if (same) return &last.parsed;
  std::string bytes;
  last.path.clear();
  if (!ReadNativeFile(path.c_str(), bytes)) return nullptr;
  last.parsed = ParseProfileFile(bytes);
  last.path = path;
  last.status = status;
  return &last.parsed;
}

}  // namespace platform
