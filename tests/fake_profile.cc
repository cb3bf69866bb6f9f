// The stand-in for the profile reads: files parsed once, read by the
// program's own profile reader.
#include <map>
#include <string>

#include "common/profile_file.h"
#include "platform/platform.h"
#include "tests/fake_platform.h"

namespace {

std::map<std::wstring, ProfileFile>& Files() {
  static std::map<std::wstring, ProfileFile> files;
  return files;
}

const ProfileFile* Find(const wchar_t* path) {
  auto file = Files().find(path);
  return file == Files().end() ? nullptr : &file->second;
}

}  // namespace

void SetProfileFile(const std::wstring& path, const std::string& bytes) {
  Files()[path] = ParseProfileFile(bytes);
  Fake().files[path] = {bytes};
}

void ClearProfileFiles() { Files().clear(); }

std::string AnsiBytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c & 0xFF);
  return bytes;
}

namespace platform {

uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* fallback, wchar_t* buffer,
                                  uint32_t capacity, const wchar_t* file) {
  ++Fake().profileReads;
  return ReadProfileString(Find(file), section, key, fallback, buffer, capacity);
}

uint32_t GetPrivateProfileSectionW(const wchar_t* section, wchar_t* buffer, uint32_t capacity,
                                   const wchar_t* file) {
  ++Fake().profileReads;
  return ReadProfileSection(Find(file), section, buffer, capacity);
}

}  // namespace platform
