// Arbitrary bytes as a profile file, read by the profile reader: every key
// of every section it finds, and a few fixed names, into the 100-character
// buffer the installer reads with. Each value is at most 99 characters and
// terminated right after them, and nothing is written past the buffer.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "common/profile_file.h"

namespace {

constexpr uint32_t kCapacity = 100;
constexpr wchar_t kGuard = 0x5A5A;

void CheckRead(const ProfileFile& file, const std::wstring& section, const std::wstring& key) {
  wchar_t buffer[kCapacity + 1];
  for (wchar_t& c : buffer) c = kGuard;
  uint32_t length = ReadProfileString(&file, section.c_str(), key.c_str(), L"N/A", buffer, kCapacity);
  if (length > kCapacity - 1 || buffer[length] != L'\0' || buffer[kCapacity] != kGuard ||
      std::wcslen(buffer) != length) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ProfileFile file = ParseProfileFile(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& [name, section] : file.sections) {
    for (const ProfileEntry& entry : section.entries) CheckRead(file, name, entry.key);
    CheckRead(file, name, L"TOTAL_NUM");
    // A section's lines end in two terminators inside the buffer: after
    // the last whole line, or at its end where they were cut to fit.
    wchar_t lines[16];
    uint32_t length = ReadProfileSection(&file, name.c_str(), lines, 16);
    bool closed = length == 0 || lines[length - 1] == L'\0' || (length == 14 && lines[15] == L'\0');
    if (length > 15 || lines[length] != L'\0' || !closed) std::abort();
  }
  CheckRead(file, L"Version", L"Ver");
  CheckRead(file, L"DMI_Type0_Table", L"1");
  return 0;
}
