// The platform table's lines as they are written, so that each mistake can
// be shown where it stands: its sections, the keys in them with their line
// numbers, and what the file's encoding does to it.
#pragma once

#include <string>
#include <vector>

// One line of the table file that names a key: its number in the file, the
// name, and what follows "=" as written (hasValue false without "=").
struct KeyLine {
  int line;
  std::wstring name;
  bool hasValue;
  std::wstring written;
};

struct SectionLines {
  std::wstring name;  // as written
  int line;
  std::vector<KeyLine> keys;
};

struct TableText {
  std::vector<SectionLines> sections;  // the first of each name
  std::vector<SectionLines> repeats;   // the later ones (name and line only)
  int firstNonAsciiLine = 0;           // 8-bit text without a byte-order mark
  bool notText = false;
};

// Reads the table file's `bytes` as the profile reader decodes them: UTF-16
// after its byte-order mark, UTF-8 after its own, else 8-bit text.
TableText ReadTableText(const std::string& bytes);

// The section or key of that name, without regard to letter case; null when
// there is none.
const SectionLines* FindSection(const TableText& table, const wchar_t* name);
const KeyLine* FindKey(const SectionLines* section, const wchar_t* name);

// `text` in lower case.
std::wstring Lower(std::wstring text);
