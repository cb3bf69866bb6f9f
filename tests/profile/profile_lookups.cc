// Answers a list of profile lookups through the platform's
// GetPrivateProfileStringW: built for Windows it asks Windows' own reader
// (under Wine), built for Linux the native checker's. Each line of the list
// is "FILE SECTION KEY", each field the hex of its UTF-16 units ("-" when
// empty), FILE relative to the current folder; each line of the answer is
// the hex of the value read with a 100-character buffer and the default
// "N/A", then its length.
// Usage: profile_lookups LIST
#include <cstdio>
#include <string>

#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

std::wstring FromHex(const std::string& field) {
  std::wstring text;
  if (field == "-") return text;
  for (size_t i = 0; i + 4 <= field.size(); i += 4) {
    text += static_cast<wchar_t>(std::stoul(field.substr(i, 4), nullptr, 16));
  }
  return text;
}

std::string ToHex(const wchar_t* text, uint32_t length) {
  std::string hex;
  char unit[8];
  for (uint32_t i = 0; i < length; ++i) {
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(text[i]) & 0xFFFF);
    hex += unit;
  }
  return hex.empty() ? "-" : hex;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 3;
  std::wstring listName(argv[1], argv[1] + std::char_traits<char>::length(argv[1]));
  void* list = platform::CreateFileW(listName.c_str(), platform::FileAccess::kReadExisting);
  if (list == nullptr) return 3;
  std::string bytes;
  char block[65536];
  uint32_t read = 0;
  while (platform::ReadFile(list, block, sizeof block, read) && read > 0) bytes.append(block, read);
  platform::CloseHandle(list);
  std::string answers;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    size_t first = line.find(' ');
    size_t second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    wchar_t file[kPathCapacity];
    if (platform::GetFullPathNameW(FromHex(line.substr(0, first)).c_str(), file, kPathCapacity) == 0) {
      return 3;
    }
    TableValue value;
    uint32_t length = platform::GetPrivateProfileStringW(
        FromHex(line.substr(first + 1, second - first - 1)).c_str(),
        FromHex(line.substr(second + 1)).c_str(), L"N/A", value, 100, file);
    answers += ToHex(value, length) + " " + std::to_string(length) + "\n";
  }
  std::fwrite(answers.data(), 1, answers.size(), stdout);
  return 0;
}
