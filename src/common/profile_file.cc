#include "common/profile_file.h"

#include <algorithm>
#include <cwctype>

#include "common/utf8.h"

namespace {

// Copies `text` into `buffer` (`capacity` > 0 characters), cut to fit and
// terminated; returns the characters copied.
uint32_t Copy(const std::wstring& text, wchar_t* buffer, uint32_t capacity) {
  uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(text.size()), capacity - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = L'\0';
  return count;
}

// The profile reader's blanks: tab to carriage return, ^Z and space.
bool IsProfileBlank(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == L' '; }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring Decode(const std::string& bytes) {
  auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  std::wstring text;
  bool littleEndian = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
  bool bigEndian = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
  if (littleEndian || bigEndian) {
    // UTF-16 code units, as the platform keeps them.
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(littleEndian ? byte(i) | byte(i + 1) << 8
                                                : byte(i) << 8 | byte(i + 1));
    }
  } else if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    // UTF-8; a malformed sequence gives U+FFFD.
    for (size_t i = 3; i < bytes.size();) {
      unsigned lead = byte(i);
      int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
      unsigned code = more <= 0 ? lead : lead & (0x3F >> more);
      bool valid = more >= 0 && i + more < bytes.size();
      for (int k = 1; valid && k <= more; ++k) {
        valid = (byte(i + k) & 0xC0) == 0x80;
        code = code << 6 | (byte(i + k) & 0x3F);
      }
      i += valid ? more + 1 : 1;
      if (!valid || code > 0x10FFFF) code = 0xFFFD;
      if (code > 0xFFFF) {
        text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        text += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        text += static_cast<wchar_t>(code);
      }
    }
  } else {
    for (size_t i = 0; i < bytes.size(); ++i) {
      text += static_cast<wchar_t>(Windows1252CodePoint(byte(i)));
    }
  }
  return text;
}

// Lines end at CR or LF; a section header runs from "[" to the last "]" of
// its line; a key line is split at its first "=".
ProfileFile ParseText(const std::wstring& text) {
  ProfileFile file;
  // The lines before any section header form a section without a name.
  ProfileSection* current = &file.sections[L""];
  ProfileSection ignored;  // a repeated section
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find_first_of(L"\r\n", start);
    if (stop == std::wstring::npos) stop = text.size();
    std::wstring line = TrimProfileBlanks(text.substr(start, stop - start));
    start = stop + 1;
    if (line.empty()) continue;
    size_t close = line.rfind(L']');
    if (line[0] == L'[' && close != std::wstring::npos) {
      std::wstring name = Lower(TrimProfileBlanks(line.substr(1, close - 1)));
      bool repeated = file.sections.count(name) > 0;
      ignored = ProfileSection();
      current = repeated ? &ignored : &file.sections[name];
      continue;
    }
    // The reader trims names and values, then keeps them as terminated
    // text: a zero character ends them, and blanks before it stay.
    auto terminated = [](const std::wstring& part) {
      std::wstring trimmed = TrimProfileBlanks(part);
      return trimmed.substr(0, trimmed.find(L'\0'));
    };
    size_t equals = line.find(L'=');
    ProfileEntry entry = equals == std::wstring::npos
                             ? ProfileEntry{terminated(line), false, L""}
                             : ProfileEntry{terminated(line.substr(0, equals)), true,
                                            terminated(line.substr(equals + 1))};
    current->firstEntry.emplace(Lower(entry.key), current->entries.size());
    current->entries.push_back(std::move(entry));
  }
  return file;
}

// Copies a stored value as the platform's reader does: a matching pair of
// quotes around it is dropped, but where the value is cut to fit, only the
// opening quote is, and where the quoted text fills the buffer exactly, its
// last character goes with the closing quote.
uint32_t CopyValue(const std::wstring& value, wchar_t* buffer, uint32_t capacity) {
  bool quoted = value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') &&
                value.back() == value[0];
  std::wstring text = quoted ? value.substr(1) : value;
  uint32_t count = Copy(text, buffer, capacity);
  if (quoted && capacity >= text.size() && count > 0) buffer[--count] = L'\0';
  return count;
}

// The section's lines, comments left out, each terminated, closed by one
// more terminator; lines that do not fit are cut and answer capacity - 2.
uint32_t SectionLines(const ProfileSection& section, wchar_t* buffer, uint32_t capacity) {
  std::wstring lines;
  for (const ProfileEntry& entry : section.entries) {
    if (!entry.key.empty() && entry.key[0] == L';') continue;
    lines += entry.key + (entry.hasValue ? L"=" + entry.value : L"") + L'\0';
  }
  if (lines.size() + 1 <= capacity) {
    std::copy(lines.begin(), lines.end(), buffer);
    buffer[lines.size()] = L'\0';
    return static_cast<uint32_t>(lines.size());
  }
  if (capacity < 2) {
    if (capacity == 1) buffer[0] = L'\0';
    return 0;
  }
  std::copy_n(lines.begin(), capacity - 2, buffer);
  buffer[capacity - 2] = L'\0';
  buffer[capacity - 1] = L'\0';
  return capacity - 2;
}

// The first section named `name` in `file`, or an empty one.
const ProfileSection& FindSection(const ProfileFile* file, const wchar_t* name) {
  static const ProfileSection kNoSection;
  if (file == nullptr) return kNoSection;
  auto named = file->sections.find(Lower(TrimProfileBlanks(name)));
  return named == file->sections.end() ? kNoSection : named->second;
}

}  // namespace

std::wstring TrimProfileBlanks(const std::wstring& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsProfileBlank(text[first])) ++first;
  while (last > first && IsProfileBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

ProfileFile ParseProfileFile(const std::string& bytes) { return ParseText(Decode(bytes)); }

uint32_t ReadProfileString(const ProfileFile* file, const wchar_t* section, const wchar_t* key,
                           const wchar_t* fallback, wchar_t* buffer, uint32_t capacity) {
  if (capacity == 0) return 0;
  const ProfileSection& found = FindSection(file, section);
  // The first key of that name decides, even one without a value.
  auto entry = found.firstEntry.find(Lower(TrimProfileBlanks(key)));
  if (entry == found.firstEntry.end() || !found.entries[entry->second].hasValue) {
    return Copy(fallback, buffer, capacity);
  }
  return CopyValue(found.entries[entry->second].value, buffer, capacity);
}

uint32_t ReadProfileSection(const ProfileFile* file, const wchar_t* section, wchar_t* buffer,
                            uint32_t capacity) {
  if (capacity == 0) return 0;
  return SectionLines(FindSection(file, section), buffer, capacity);
}
