// The stand-in for the profile reads: files parsed once into sections and
// keys, looked up by name, with the rules of the platform's profile reader.
#include <algorithm>
#include <cwctype>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "tests/fake_platform.h"

namespace {

struct ProfileEntry {
  std::wstring key;
  bool hasValue;  // a line without "=" names a key that reads as absent
  std::wstring value;
};

struct ProfileSection {
  std::vector<ProfileEntry> entries;
  std::unordered_map<std::wstring, size_t> firstEntry;  // by lower-case key
};

// Only the first section of a name is ever read.
struct ProfileFile {
  std::unordered_map<std::wstring, ProfileSection> sections;  // by lower-case name
};

std::map<std::wstring, ProfileFile>& Files() {
  static std::map<std::wstring, ProfileFile> files;
  return files;
}

// The profile reader's blanks: tab to carriage return, ^Z and space.
bool IsProfileBlank(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == L' '; }

std::wstring Trim(const std::wstring& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsProfileBlank(text[first])) ++first;
  while (last > first && IsProfileBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

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
      unsigned code = more == 0 ? lead : lead & (0x3F >> more);
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
    for (size_t i = 0; i < bytes.size(); ++i) text += static_cast<wchar_t>(byte(i));
  }
  return text;
}

// Lines end at CR or LF; a section header runs from "[" to the last "]" of
// its line; a key line is split at its first "=".
ProfileFile Parse(const std::wstring& text) {
  ProfileFile file;
  ProfileSection* current = nullptr;
  ProfileSection ignored;  // a repeated section and the lines before any
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find_first_of(L"\r\n", start);
    if (stop == std::wstring::npos) stop = text.size();
    std::wstring line = Trim(text.substr(start, stop - start));
    start = stop + 1;
    if (line.empty()) continue;
    size_t close = line.rfind(L']');
    if (line[0] == L'[' && close != std::wstring::npos) {
      std::wstring name = Lower(Trim(line.substr(1, close - 1)));
      bool repeated = file.sections.count(name) > 0;
      ignored = ProfileSection();
      current = repeated ? &ignored : &file.sections[name];
      continue;
    }
    if (current == nullptr) continue;
    size_t equals = line.find(L'=');
    ProfileEntry entry = equals == std::wstring::npos
                             ? ProfileEntry{line, false, L""}
                             : ProfileEntry{Trim(line.substr(0, equals)), true,
                                            Trim(line.substr(equals + 1))};
    current->firstEntry.emplace(Lower(entry.key), current->entries.size());
    current->entries.push_back(std::move(entry));
  }
  return file;
}

// A matching pair of quotes around a value is not part of it.
std::wstring Unquote(const std::wstring& value) {
  if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The key names with a value, comments left out, each terminated, the list
// closed by one more terminator; a list that does not fit is cut and
// answers capacity - 2.
uint32_t ListKeys(const ProfileSection& section, wchar_t* buffer, uint32_t capacity) {
  std::wstring list;
  for (const ProfileEntry& entry : section.entries) {
    if (entry.hasValue && entry.key.rfind(L";", 0) != 0) list += entry.key + L'\0';
  }
  if (list.size() + 1 <= capacity) {
    std::copy(list.begin(), list.end(), buffer);
    buffer[list.size()] = L'\0';
    return static_cast<uint32_t>(list.size());
  }
  if (capacity < 2) {
    if (capacity == 1) buffer[0] = L'\0';
    return 0;
  }
  std::copy_n(list.begin(), capacity - 2, buffer);
  buffer[capacity - 2] = L'\0';
  buffer[capacity - 1] = L'\0';
  return capacity - 2;
}

}  // namespace

void SetProfileFile(const std::wstring& path, const std::string& bytes) {
  Files()[path] = Parse(Decode(bytes));
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
  if (capacity == 0) return 0;
  static const ProfileSection kNoSection;
  const ProfileSection* found = &kNoSection;
  auto parsed = Files().find(file);
  if (parsed != Files().end()) {
    auto named = parsed->second.sections.find(Lower(Trim(section)));
    if (named != parsed->second.sections.end()) found = &named->second;
  }
  if (key == nullptr) {
    uint32_t length = ListKeys(*found, buffer, capacity);
    return length > 0 ? length : CopyCut(fallback, buffer, capacity);
  }
  // The first key of that name decides, even one without a value.
  auto entry = found->firstEntry.find(Lower(Trim(key)));
  if (entry == found->firstEntry.end() || !found->entries[entry->second].hasValue) {
    return CopyCut(fallback, buffer, capacity);
  }
  return CopyCut(Unquote(found->entries[entry->second].value), buffer, capacity);
}

}  // namespace platform
