#include "check/table_lines.h"

#include <algorithm>
#include <cwctype>

#include "common/profile_file.h"

namespace {

// The file's text as the reader decodes it: UTF-16 after its byte-order
// mark, UTF-8 after its own, else 8-bit text (non-ASCII noted).
std::wstring Decoded(const std::string& bytes, bool& eightBit) {
  auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  std::wstring text;
  eightBit = false;
  if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    bool little = byte(0) == 0xFF;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1));
    }
    return text;
  }
  // Only ASCII matters to the findings; UTF-8 sequences stay as bytes.
  eightBit = bytes.compare(0, 3, "\xEF\xBB\xBF") != 0;
  for (size_t i = eightBit ? 0 : 3; i < bytes.size(); ++i) text += static_cast<wchar_t>(byte(i));
  return text;
}

}  // namespace

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

const SectionLines* FindSection(const TableText& table, const wchar_t* name) {
  auto found = std::find_if(table.sections.begin(), table.sections.end(),
                            [name](const SectionLines& s) { return Lower(s.name) == Lower(name); });
  return found == table.sections.end() ? nullptr : &*found;
}

const KeyLine* FindKey(const SectionLines* section, const wchar_t* name) {
  if (section == nullptr) return nullptr;
  auto found = std::find_if(section->keys.begin(), section->keys.end(),
                            [name](const KeyLine& k) { return Lower(k.name) == Lower(name); });
  return found == section->keys.end() ? nullptr : &*found;
}

TableText ReadTableText(const std::string& bytes) {
  TableText table;
  bool eightBit = false;
  std::wstring text = Decoded(bytes, eightBit);
  SectionLines* current = nullptr;
  bool inRepeat = false;
  int number = 0;
  for (size_t start = 0; start <= text.size();) {
    size_t stop = text.find_first_of(L"\r\n", start);
    if (stop == std::wstring::npos) stop = text.size();
    std::wstring line = text.substr(start, stop - start);
    ++number;
    start = stop + (text.compare(stop, 2, L"\r\n") == 0 ? 2 : 1);
    if (eightBit && table.firstNonAsciiLine == 0 &&
        std::any_of(line.begin(), line.end(), [](wchar_t c) { return c >= 0x80; })) {
      table.firstNonAsciiLine = number;
    }
    if (line.find(L'\0') != std::wstring::npos) table.notText = true;
    std::wstring trimmed = TrimProfileBlanks(line);
    if (trimmed.empty() || trimmed[0] == L';') continue;
    size_t close = trimmed.rfind(L']');
    if (trimmed[0] == L'[' && close != std::wstring::npos) {
      std::wstring name = TrimProfileBlanks(trimmed.substr(1, close - 1));
      inRepeat = FindSection(table, name.c_str()) != nullptr;
      if (inRepeat) {
        table.repeats.push_back({name, number, {}});
        continue;
      }
      table.sections.push_back({name, number, {}});
      current = &table.sections.back();
      continue;
    }
    if (current == nullptr || inRepeat) continue;
    size_t equals = trimmed.find(L'=');
    // What follows "=" is taken from the untrimmed line, to see its blanks.
    size_t rawEquals = line.find(L'=');
    current->keys.push_back({number, TrimProfileBlanks(trimmed.substr(0, equals)), equals != std::wstring::npos,
                             equals == std::wstring::npos ? L"" : line.substr(rawEquals + 1)});
  }
  return table;
}
