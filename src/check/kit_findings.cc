#include "check/kit_findings.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "check/json_text.h"
#include "check/files.h"
#include "check/kit_access.h"
#include "check/table_lines.h"
#include "common/profile_file.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

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
    void* file = platform::CreateFileW(source, platform::FileAccess::kReadExisting);
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

void CheckTable(const TableText& table, int tableType, std::vector<std::wstring>& named,
                std::vector<KitFinding>& findings) {
  const wchar_t* sectionName = PlatformTableSection(tableType);
  const SectionLines* section = FindSection(table, sectionName);
  // A kit may leave a table out; only a table that is there must count.
  if (section == nullptr) return;
  std::string tableName = ConsoleText(sectionName);
  TableValue countText;
  ReadPlatformTableValue(sectionName, L"TOTAL_NUM", countText);
  int32_t count = ParseTableCount(countText);
  const KeyLine* countKey = FindKey(section, L"TOTAL_NUM");
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
  platform::EntryKind kind = platform::EntryKind::kOther;
  void* listing = platform::FindFirstFileW(pattern, name, kPathCapacity, kind);
  if (listing == nullptr) return;
  std::vector<std::wstring> unlisted;
  do {
    std::wstring folder = name;
    if (kind != platform::EntryKind::kFolder || folder == L"." || folder == L".." ||
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
  } while (platform::FindNextFileW(listing, name, kPathCapacity, kind));
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
  TableText table = ReadTableText(bytes);
  std::transform(table.repeats.begin(), table.repeats.end(), std::back_inserter(findings),
                 [](const SectionLines& repeat) {
                   return KitFinding{false, "section-repeated", kPlatformTableFileName, repeat.line,
                                     "the section [" + ConsoleText(repeat.name.c_str()) +
                                         "] stands again; only its first place is read"};
                 });
  if (table.notText || table.firstNonAsciiLine != 0) {
    Add(findings, false, "encoding", table.notText ? 0 : table.firstNonAsciiLine,
        table.notText ? "the file is not text"
                      : "the file has bytes outside ASCII and no byte-order mark, so it is read in the "
                        "system's ANSI code page");
  }
  TableValue tag;
  ReadPlatformTableValue(L"Version", L"Ver", tag);
  if (std::wstring(tag) != kPlatformTableFormatTag) {
    const SectionLines* version = FindSection(table, L"Version");
    const KeyLine* key = FindKey(version, L"Ver");
    bool caseOnly = Lower(tag) == Lower(kPlatformTableFormatTag);
    Add(findings, true, "tag", key != nullptr ? key->line : version != nullptr ? version->line : 0,
        std::string("the tag is \"") + ConsoleText(tag) + "\", not \"" + ConsoleText(kPlatformTableFormatTag) + "\"" +
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
