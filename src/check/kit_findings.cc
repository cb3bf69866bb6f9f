#include "check/kit_findings.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "check/json_text.h"
#include "check/machine_check.h"
#include "common/profile_file.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

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
  std::vector<SectionLines> sections;  // the first of each name; repeats are findings
  int firstNonAsciiLine = 0;           // 8-bit text without a byte-order mark
  bool notText = false;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

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

const SectionLines* Section(const TableText& table, const wchar_t* name) {
  auto found = std::find_if(table.sections.begin(), table.sections.end(),
                            [name](const SectionLines& s) { return Lower(s.name) == Lower(name); });
  return found == table.sections.end() ? nullptr : &*found;
}

const KeyLine* Key(const SectionLines* section, const wchar_t* name) {
  if (section == nullptr) return nullptr;
  auto found = std::find_if(section->keys.begin(), section->keys.end(),
                            [name](const KeyLine& k) { return Lower(k.name) == Lower(name); });
  return found == section->keys.end() ? nullptr : &*found;
}

TableText ReadTableText(const std::string& bytes, std::vector<KitFinding>& findings) {
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
      inRepeat = Section(table, name.c_str()) != nullptr;
      if (inRepeat) {
        findings.push_back({false, "section-repeated", kPlatformTableFileName, number,
                            "the section [" + ConsoleText(name.c_str()) +
                                "] stands again; only its first place is read"});
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

// The number whose canonical decimal the name is, from 1 to 2147483647; 0
// for any other name.
uint32_t CanonicalNumber(const std::wstring& name) {
  if (name.empty() || name[0] < L'1' || name[0] > L'9' || name.size() > 10) return 0;
  uint64_t number = 0;
  for (wchar_t c : name) {
    if (c < L'0' || c > L'9') return 0;
    number = number * 10 + static_cast<uint64_t>(c - L'0');
  }
  return number <= INT32_MAX ? static_cast<uint32_t>(number) : 0;
}

bool LooksNumbered(const std::wstring& name) {
  return !name.empty() && ((name[0] >= L'0' && name[0] <= L'9') || name[0] == L'+' || name[0] == L'-');
}

void Add(std::vector<KitFinding>& findings, bool error, const char* code, int line,
         const std::string& message) {
  findings.push_back({error, code, kPlatformTableFileName, line, message});
}

// The checks of one listed entry: its text as read, and its folder.
void CheckEntry(const KeyLine& key, int tableType, std::vector<std::wstring>& named,
                std::vector<KitFinding>& findings) {
  std::string where = ConsoleText(PlatformTableSection(tableType));
  where += ": key " + ConsoleText(key.name.c_str());
  std::wstring value = TrimProfileBlanks(key.written);
  if (value != key.written && !key.written.empty()) {
    Add(findings, false, "entry-blanks", key.line, where + ": the blanks around the entry are dropped when it is read");
  }
  if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
    Add(findings, false, "entry-quoted", key.line, where + ": the quotes around the entry are dropped when it is read");
  }
  if (value.size() > 99) {
    value.resize(99);
    Add(findings, false, "entry-too-long", key.line, where + ": the entry is read as its first 99 characters");
  }
  if (value.empty()) {
    Add(findings, false, "entry-empty", key.line,
        where + (tableType == 0 ? ": an empty entry never matches a BIOS version prefix"
                                : ": an empty entry matches every machine without a type 130 "
                                  "structure and installs the maps from the kit folder itself"));
    if (tableType == 0) return;
  }
  if (value == L"N/A") {
    Add(findings, false, "entry-na", key.line, where + ": \"N/A\" matches every number of the count that has no key");
  }
  if (tableType == 130 && value == L"Null String") {
    Add(findings, false, "entry-null-string", key.line,
        where + ": \"Null String\" matches every machine whose type 130 structure has no strings, "
                "such as Intel AMT's");
  }
  if (tableType == 0 && value.find(L'.') != std::wstring::npos) {
    Add(findings, false, "entry-has-dot", key.line, where + ": a BIOS version prefix never holds \".\", so this entry never matches");
    return;
  }
  named.push_back(Lower(value));
  wchar_t folder[kPathCapacity];
  BuildPathBesideProgram(folder, value.c_str());
  wchar_t source[kPathCapacity] = {};
  bool fits = folder[0] != L'\0';
  for (const ThermalMapFile& map : kThermalMapFiles) {
    fits = fits && BuildThermalMapSourceName(source, kPathCapacity, folder, map);
  }
  std::string name = ConsoleText(value.c_str());
  if (!fits) {
    Add(findings, true, "path-too-long", key.line, where + ": the paths of folder \"" + name + "\" do not fit 259 characters, so nothing is installed");
    return;
  }
  if (!IsFolder(folder)) {
    Add(findings, true, "folder-missing", key.line, where + ": there is no folder \"" + name + "\", so the copies fail and nothing is installed");
    return;
  }
  for (const ThermalMapFile& map : kThermalMapFiles) {
    BuildThermalMapSourceName(source, kPathCapacity, folder, map);
    if (!IsFile(source)) {
      std::string message = where;
      message += ": folder \"" + name + "\" lacks ";
      message += ConsoleText(map.name);
      message += ", so the installer keeps the installed one and replaces only the other";
      Add(findings, true, "map-missing", key.line, message);
      continue;
    }
    // The installer's own open and check: a map whose file lies outside the
    // kit is never installed.
    void* file = platform::CreateFileW(source, platform::FileAccess::kReadUnchanging);
    if (file == nullptr) continue;
    if (!ThermalMapSourceInKit(file)) {
      std::string message = where;
      message += ": " + ConsoleText(map.name) + " of folder \"" + name;
      message += "\" lies outside the kit once links are followed, so the installer will not install that map";
      Add(findings, true, "map-outside-kit", key.line, message);
    }
    platform::CloseHandle(file);
  }
}

uint32_t Little(const uint8_t* bytes, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// The group of users that access list `acl` (the system's ACL layout, of
// `size` bytes) lets create, change or delete files in the folder, or change
// who may; null when it lets none of them.
const char* OpenToGroup(const uint8_t* acl, uint32_t size) {
  // FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY, FILE_DELETE_CHILD, DELETE,
  // WRITE_DAC, WRITE_OWNER, GENERIC_ALL and GENERIC_WRITE.
  constexpr uint32_t kChangingRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
  // Everyone (S-1-1-0), Authenticated Users (S-1-5-11), INTERACTIVE
  // (S-1-5-4) and Users (S-1-5-32-545), as the ACL holds their SIDs.
  static const struct {
    const char* name;
    uint8_t sid[16];
    uint32_t size;
  } kGroups[] = {
      {"Everyone", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 12},
      {"Authenticated Users", {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0}, 12},
      {"INTERACTIVE", {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0}, 12},
      {"Users", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0}, 16},
  };
  if (size < 8) return nullptr;
  uint32_t count = Little(acl + 4, 2);
  uint32_t at = 8;
  for (uint32_t i = 0; i < count && size - at >= 8; ++i) {
    uint32_t aceSize = Little(acl + at + 2, 2);
    if (aceSize < 8 || aceSize > size - at) break;
    // Only an access-allowed entry (type 0) grants anything.
    if (acl[at] == 0 && (Little(acl + at + 4, 4) & kChangingRights) != 0) {
      for (const auto& group : kGroups) {
        if (aceSize - 8 >= group.size && std::equal(group.sid, group.sid + group.size, acl + at + 8)) {
          return group.name;
        }
      }
    }
    at += aceSize;
  }
  return nullptr;
}

// Whoever can change the kit decides what the elevated installer installs.
void CheckKitAccess(std::vector<KitFinding>& findings) {
  wchar_t kit[kPathCapacity];
  BuildPathBesideProgram(kit, L"");
  size_t length = std::wcslen(kit);
  if (length == 0) return;
  // The folder's own name, without the backslash before the empty name,
  // unless it is a drive's root.
  if (length > 1 && kit[length - 2] != L':') kit[length - 1] = L'\0';
  uint8_t acl[65536];
  uint32_t size = 0;
  if (!platform::GetNamedSecurityInfoW(kit, acl, sizeof acl, size)) return;
  const char* group = OpenToGroup(acl, size);
  if (group == nullptr) return;
  findings.push_back({false, "kit-writable", L".", 0,
                      std::string("the kit folder lets ") + group +
                          " create or change files in it, and anyone who can change the kit can "
                          "change what the elevated installer installs, and can replace the "
                          "installer itself"});
}

void CheckTable(const TableText& table, int tableType, std::vector<std::wstring>& named,
                std::vector<KitFinding>& findings) {
  const wchar_t* sectionName = PlatformTableSection(tableType);
  const SectionLines* section = Section(table, sectionName);
  // A kit may leave a table out; only a table that is there must count.
  if (section == nullptr) return;
  std::string tableName = ConsoleText(sectionName);
  TableValue countText;
  ReadPlatformTableValue(sectionName, L"TOTAL_NUM", countText);
  int32_t count = ParseTableCount(countText);
  const KeyLine* countKey = Key(section, L"TOTAL_NUM");
  int countLine = countKey != nullptr ? countKey->line : section->line;
  std::wstring written = TrimProfileBlanks(countText);
  size_t digitsAt = !written.empty() && (written[0] == L'+' || written[0] == L'-') ? 1 : 0;
  size_t digitsEnd = digitsAt;
  while (digitsEnd < written.size() && written[digitsEnd] >= L'0' && written[digitsEnd] <= L'9') ++digitsEnd;
  if (countKey == nullptr || !countKey->hasValue || digitsEnd == digitsAt || count <= 0) {
    Add(findings, true, "count", countLine,
        tableName + ": TOTAL_NUM " + (countKey == nullptr ? "is absent" : digitsEnd == digitsAt ? "has no digits" : "counts 0 or less") +
            ", so the table never matches");
  } else {
    bool saturated = digitsEnd - digitsAt > 10 ||
                     std::stoll(ConsoleText(written.substr(digitsAt, digitsEnd - digitsAt).c_str())) > INT32_MAX;
    if (digitsAt != 0 || digitsEnd != written.size() || saturated) {
      Add(findings, false, "count-text", countLine,
          tableName + ": TOTAL_NUM \"" + ConsoleText(written.c_str()) + "\" is read as " + std::to_string(count));
    }
  }

  std::vector<std::wstring> seen;
  std::vector<uint32_t> numbers;
  for (const KeyLine& key : section->keys) {
    std::wstring lower = Lower(key.name);
    if (std::find(seen.begin(), seen.end(), lower) != seen.end()) {
      Add(findings, false, "key-repeated", key.line,
          tableName + ": key " + ConsoleText(key.name.c_str()) + " stands again; only its first place counts");
      continue;
    }
    seen.push_back(lower);
    if (lower == L"total_num") continue;
    uint32_t number = CanonicalNumber(key.name);
    if (number == 0) {
      if (LooksNumbered(key.name)) {
        Add(findings, false, "key-not-canonical", key.line,
            tableName + ": key " + ConsoleText(key.name.c_str()) + " is never read as an entry");
      }
      continue;
    }
    if (count <= 0) continue;
    if (number > static_cast<uint32_t>(count)) {
      Add(findings, false, "key-beyond-count", key.line,
          tableName + ": key " + std::to_string(number) + " lies above the count " + std::to_string(count) + " and is never read");
      continue;
    }
    numbers.push_back(number);
    if (key.hasValue) CheckEntry(key, tableType, named, findings);
  }
  // Numbers of the count without a key, one finding per run of them.
  std::sort(numbers.begin(), numbers.end());
  uint32_t next = 1;
  numbers.push_back(count > 0 ? static_cast<uint32_t>(count) + 1 : 1);
  for (uint32_t number : numbers) {
    if (number > next) {
      std::string run = number - 1 == next ? "number " + std::to_string(next)
                                           : "numbers " + std::to_string(next) + " to " + std::to_string(number - 1);
      std::string message = tableName;
      message += ": " + run;
      message += number - 1 == next ? " of the count has" : " of the count have";
      message += " no key and read \"N/A\"";
      Add(findings, false, "number-without-key", countLine, message);
    }
    next = std::max(next, number + 1);
  }
}

// Folders of the kit that hold a map but that no entry names (folder
// names match without regard to letter case, as the file system finds them).
void CheckUnlistedFolders(const std::vector<std::wstring>& named, std::vector<KitFinding>& findings) {
  wchar_t pattern[kPathCapacity];
  BuildPathBesideProgram(pattern, L"*");
  if (pattern[0] == L'\0') return;
  wchar_t name[kPathCapacity];
  bool isFolder = false;
  void* listing = platform::FindFirstFileW(pattern, name, kPathCapacity, isFolder);
  if (listing == nullptr) return;
  std::vector<std::wstring> unlisted;
  do {
    std::wstring folder = name;
    if (!isFolder || folder == L"." || folder == L".." ||
        std::find(named.begin(), named.end(), Lower(folder)) != named.end()) {
      continue;
    }
    wchar_t dir[kPathCapacity];
    wchar_t source[kPathCapacity];
    BuildPathBesideProgram(dir, name);
    bool holdsMap = false;
    for (const ThermalMapFile& map : kThermalMapFiles) {
      holdsMap |= BuildThermalMapSourceName(source, kPathCapacity, dir, map) && IsFile(source);
    }
    if (holdsMap) unlisted.push_back(folder);
  } while (platform::FindNextFileW(listing, name, kPathCapacity, isFolder));
  platform::FindClose(listing);
  std::sort(unlisted.begin(), unlisted.end());
  std::transform(unlisted.begin(), unlisted.end(), std::back_inserter(findings),
                 [](const std::wstring& folder) {
                   return KitFinding{false, "folder-unlisted", folder, 0,
                                     "the folder holds maps, but no entry names it, so no "
                                     "machine gets them"};
                 });
}

}  // namespace

std::vector<KitFinding> FindKitMistakes() {
  std::vector<KitFinding> findings;
  wchar_t path[kPathCapacity];
  BuildPathBesideProgram(path, kPlatformTableFileName);
  std::string bytes;
  if (path[0] == L'\0' || ReadWholeFile(path, bytes, UINT64_MAX) != 1) {
    Add(findings, true, "table-missing", 0, "there is no KORVPlatformTable.ini in the kit, so nothing is installed");
    return findings;
  }
  TableText table = ReadTableText(bytes, findings);
  if (table.notText || table.firstNonAsciiLine != 0) {
    Add(findings, false, "encoding", table.notText ? 0 : table.firstNonAsciiLine,
        table.notText ? "the file is not text"
                      : "the file has bytes outside ASCII and no byte-order mark, so it is read in the "
                        "system's ANSI code page");
  }
  TableValue tag;
  ReadPlatformTableValue(L"Version", L"Ver", tag);
  if (std::wstring(tag) != L"Morlane_V4.0.0.4") {
    const SectionLines* version = Section(table, L"Version");
    const KeyLine* key = Key(version, L"Ver");
    bool caseOnly = Lower(tag) == Lower(L"Morlane_V4.0.0.4");
    Add(findings, true, "tag", key != nullptr ? key->line : version != nullptr ? version->line : 0,
        std::string("the tag is \"") + ConsoleText(tag) + "\", not \"Morlane_V4.0.0.4\"" +
            (caseOnly ? " (only the letter case differs)" : "") + ", so nothing is installed");
  }
  std::vector<std::wstring> named;
  CheckTable(table, 0, named, findings);
  CheckTable(table, 130, named, findings);
  CheckUnlistedFolders(named, findings);
  CheckKitAccess(findings);
  std::stable_sort(findings.begin(), findings.end(),
                   [](const KitFinding& a, const KitFinding& b) { return a.line < b.line; });
  return findings;
}

bool HoldsErrors(const std::vector<KitFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const KitFinding& finding) { return finding.error; });
}
