#include "check/files.h"

#include <algorithm>
#include <cstdint>

#include "install/platform_table.h"
#include "platform/platform.h"

bool AppendFileBytes(void* file, std::string& bytes, uint64_t count) {
  size_t start = bytes.size();
  bytes.resize(start + static_cast<size_t>(count));
  size_t used = start;
  bool read = true;
  while (read && used < bytes.size()) {
    uint32_t got = 0;
    uint32_t want = static_cast<uint32_t>(std::min<size_t>(bytes.size() - used, 1 << 20));
    read = platform::ReadFile(file, &bytes[used], want, got);
    if (got == 0) break;
    used += got;
  }
  bytes.resize(used);
  return read;
}

int ReadWholeFile(const wchar_t* path, std::string& bytes, uint64_t limit) {
  bytes.clear();
  void* file = platform::CreateFileW(path, platform::FileAccess::kReadExisting);
  if (file == nullptr) return 0;
  uint64_t size = 0;
  // A 32-bit program cannot hold a file of half its address space.
  int read = !platform::GetFileSizeEx(file, size) ? 0 : size > limit || size > SIZE_MAX / 2 ? 2 : 1;
  // A pipe has no size: it is read to its end, one more byte than the limit
  // at most.
  if (read == 1 && platform::GetFileType(file) == platform::FileType::kStream) {
    uint64_t most = std::min<uint64_t>(limit, SIZE_MAX / 2) + 1;
    bool readOn = true;
    for (size_t before = SIZE_MAX; readOn && bytes.size() != before && bytes.size() < most;) {
      before = bytes.size();
      readOn = AppendFileBytes(file, bytes, std::min<uint64_t>(1 << 20, most - bytes.size()));
    }
    read = !readOn ? 0 : bytes.size() == most ? 2 : 1;
  } else if (read == 1 && !AppendFileBytes(file, bytes, size)) {
    // A file that changes while it is read gives what could be read of it.
    read = 0;
  }
  platform::CloseHandle(file);
  return read;
}

bool IsFile(const wchar_t* path) {
  uint32_t attributes = platform::GetFileAttributesW(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) == 0;
}

bool IsFolder(const wchar_t* path) {
  uint32_t attributes = platform::GetFileAttributesW(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

std::string UnreadableReason(const std::wstring& path) {
  bool there = platform::GetFileAttributesW(path.c_str()) != platform::kInvalidFileAttributes;
  return there ? "cannot be read" : "no such file or folder";
}

std::wstring FinalPathOf(void* file) {
  // Room for "\\?\" and a path that fits 259 characters through a link,
  // as the installer's check of a map allows.
  wchar_t final[1024];
  uint32_t length = platform::GetFinalPathNameByHandleW(file, final, 1024);
  return std::wstring(final, length);
}

bool LiesInside(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  bool separated = folder.back() == platform::kPathSeparator || path[folder.size()] == platform::kPathSeparator;
  return separated && platform::CompareStringOrdinal(path.c_str(), folder.c_str(), static_cast<uint32_t>(folder.size()));
}
