#include "install/platform_table.h"

#include <algorithm>
#include <cwchar>

#include "common/wide_text.h"
#include "platform/platform.h"

namespace {

constexpr wchar_t kAbsent[] = L"N/A";

// Empty while the program's own folder is the kit.
wchar_t KitFolder[kPathCapacity];

// Reads `key` of `section`; "N/A" when the file, section or key is absent,
// including when there is no path to the file.
void ReadTableValue(const wchar_t* tablePath, const wchar_t* section, const wchar_t* key,
                    TableValue value) {
  if (tablePath[0] == L'\0') {
    CopyWideText(value, ArraySize(TableValue{}), kAbsent);
    return;
  }
  platform::GetPrivateProfileStringW(section, key, kAbsent, value, ArraySize(TableValue{}),
                                     tablePath);
}

// The section's lines ("name=value", or a name alone), each terminated, in a
// heap block the caller releases; `length` is the characters used. Null
// when the heap cannot hold them.
wchar_t* ReadSectionLines(const wchar_t* tablePath, const wchar_t* section, uint32_t& length) {
  length = 0;
  // Lines that do not fit answer capacity - 2: grow until they fit. The
  // first block holds thousands of entries.
  for (uint32_t capacity = 1 << 16;; capacity *= 4) {
    auto* lines = static_cast<wchar_t*>(platform::HeapAlloc(capacity * sizeof(wchar_t)));
    if (lines == nullptr) return nullptr;
    length = platform::GetPrivateProfileSectionW(section, lines, capacity, tablePath);
    if (length < capacity - 2) return lines;
    platform::HeapFree(lines);
    if (capacity > UINT32_MAX / 4 / sizeof(wchar_t)) return nullptr;
  }
}

// The profile reader's blanks around names and values.
bool IsProfileBlank(wchar_t c) { return (c >= L'\t' && c <= L'\r') || c == 0x1A || c == L' '; }

void TrimBlanks(const wchar_t*& begin, const wchar_t*& end) {
  while (begin < end && IsProfileBlank(*begin)) ++begin;
  while (end > begin && IsProfileBlank(end[-1])) --end;
}

// The number whose canonical decimal (no sign, no leading zero) the text
// [begin, end) is, from 1 to 2147483647; 0 for any other text.
uint32_t CanonicalKeyNumber(const wchar_t* begin, const wchar_t* end) {
  if (begin == end || *begin < L'1' || *begin > L'9') return 0;
  uint64_t number = 0;
  for (const wchar_t* c = begin; c < end; ++c) {
    if (*c < L'0' || *c > L'9') return 0;
    number = number * 10 + static_cast<uint64_t>(*c - L'0');
    if (number > INT32_MAX) return 0;
  }
  return static_cast<uint32_t>(number);
}

bool StartsWith(const wchar_t* begin, const wchar_t* end, const wchar_t* prefix, size_t length) {
  return static_cast<size_t>(end - begin) >= length && std::wmemcmp(begin, prefix, length) == 0;
}

// Whether a key whose line holds the text [begin, end) after its "=" may
// read as `value` (`length` characters, at most 99): the text itself, the
// text within a pair of quotes, or either cut to 99 characters (98 where a
// quoted text fills the value buffer exactly). A read confirms every match.
bool MayReadAs(const wchar_t* begin, const wchar_t* end, const wchar_t* value, size_t length) {
  size_t textLength = static_cast<size_t>(end - begin);
  bool opensQuote = textLength >= 2 && (*begin == L'"' || *begin == L'\'');
  bool quoted = opensQuote && end[-1] == *begin;
  if (textLength == length && StartsWith(begin, end, value, length)) return true;
  if (quoted && textLength - 2 == length && StartsWith(begin + 1, end, value, length)) return true;
  if (length == 99) {
    return StartsWith(begin, end, value, length) ||
           (opensQuote && StartsWith(begin + 1, end, value, length));
  }
  return length == 98 && quoted && textLength == 101 && StartsWith(begin + 1, end, value, length);
}

// Reads key `number` of `section` by its own read and hands it to `visit`;
// true when the visitor ends the walk there.
bool VisitEntry(const wchar_t* tablePath, const wchar_t* section, uint32_t number,
                PlatformTableVisitor visit, void* context) {
  wchar_t digits[16];
  int count = 0;
  for (uint32_t rest = number; count == 0 || rest != 0; rest /= 10) {
    digits[count++] = static_cast<wchar_t>(L'0' + rest % 10);
  }
  wchar_t key[128] = {};
  for (int i = 0; i < count; ++i) key[i] = digits[count - 1 - i];
  TableValue entry;
  ReadTableValue(tablePath, section, key, entry);
  return visit(number, entry, context) == WalkStep::kStop;
}

// Walks the keys "1" to `count` as reading them one by one would, where a
// key without a line reads "N/A", with a few reads instead of one per
// number: the section's lines show which keys may read as `value` (every key
// that has a line, and the first one without, when `value` is null), and
// only those are read and visited, by ascending number. Returns the number
// at which `visit` ended the walk, or 0. `entries` has room for one number
// per line.
//
// A reader keeps names and values as trimmed text cut at a zero character,
// so a line's name may end in blanks that no read of its number finds, and
// its value may keep blanks: such a line counts as a possible match, but not
// as the number's line. Every answer is the visitor's, over a read.
uint32_t WalkEntries(const wchar_t* value, const wchar_t* tablePath, const wchar_t* section,
                     int32_t count, const wchar_t* lines, uint32_t linesLength, uint64_t* entries,
                     PlatformTableVisitor visit, void* context) {
  bool every = value == nullptr;
  size_t valueLength = every ? 0 : std::wcslen(value);
  bool absentMatches = every || std::wcscmp(value, kAbsent) == 0;
  // Each entry is the key's number times four, plus two when the line's
  // name is that number exactly, plus one when it may match.
  uint32_t entryCount = 0;
  for (uint32_t at = 0; at < linesLength;) {
    const wchar_t* line = lines + at;
    const wchar_t* lineEnd = line + std::wcslen(line);
    at += static_cast<uint32_t>(lineEnd - line) + 1;
    const wchar_t* equals = std::find(line, lineEnd, L'=');
    const wchar_t* name = line;
    const wchar_t* nameEnd = equals;
    TrimBlanks(name, nameEnd);
    uint32_t number = CanonicalKeyNumber(name, nameEnd);
    if (number == 0 || number > static_cast<uint32_t>(count)) continue;
    bool exact = name == line && nameEnd == equals;
    // A name without "=" reads as absent, or as empty on some readers.
    bool mayMatch = every || !exact || absentMatches || valueLength == 0;
    if (!every && equals != lineEnd) {
      const wchar_t* text = equals + 1;
      const wchar_t* textEnd = lineEnd;
      mayMatch = !exact || MayReadAs(text, textEnd, value, valueLength);
      TrimBlanks(text, textEnd);
      mayMatch = mayMatch || MayReadAs(text, textEnd, value, valueLength);
    }
    entries[entryCount++] = uint64_t{number} * 4 + (exact ? 2 : 0) + (mayMatch ? 1 : 0);
  }

  // Each number once, in order; the first number without a line reads "N/A",
  // so for "N/A" it is tried where it stands in the order.
  std::sort(entries, entries + entryCount);
  uint32_t next = 1;
  bool absentTried = !absentMatches;
  for (uint32_t i = 0; i < entryCount;) {
    auto number = static_cast<uint32_t>(entries[i] / 4);
    bool hasLine = false;
    bool mayMatch = false;
    for (; i < entryCount && entries[i] / 4 == number; ++i) {
      hasLine |= (entries[i] & 2) != 0;
      mayMatch |= (entries[i] & 1) != 0;
    }
    if (!absentTried && (number != next || !hasLine)) {
      absentTried = true;
      if (VisitEntry(tablePath, section, next, visit, context)) return next;
    }
    if (hasLine && number == next) next = number + 1;
    if (mayMatch && VisitEntry(tablePath, section, number, visit, context)) return number;
  }
  if (!absentTried && next <= static_cast<uint32_t>(count) &&
      VisitEntry(tablePath, section, next, visit, context)) {
    return next;
  }
  return 0;
}

// The walk of the table of `tableType` for `value` (null: every entry).
// Without memory for the section's lines it visits nothing.
uint32_t WalkPlatformTable(const wchar_t* value, int tableType, PlatformTableVisitor visit,
                           void* context) {
  const wchar_t* section = PlatformTableSection(tableType);
  wchar_t tablePath[kPathCapacity];
  BuildPathBesideProgram(tablePath, kPlatformTableFileName);

  TableValue countText;
  ReadTableValue(tablePath, section, L"TOTAL_NUM", countText);
  int32_t count = ParseTableCount(countText);
  if (count <= 0) return 0;

  // A line takes at least two characters, so there are at most
  // linesLength / 2 of them.
  uint32_t linesLength = 0;
  wchar_t* lines = ReadSectionLines(tablePath, section, linesLength);
  auto* entries = lines == nullptr ? nullptr
                                   : static_cast<uint64_t*>(platform::HeapAlloc(
                                         (linesLength / 2 + 1) * sizeof(uint64_t)));
  uint32_t found = entries == nullptr ? 0
                                      : WalkEntries(value, tablePath, section, count, lines,
                                                    linesLength, entries, visit, context);
  platform::HeapFree(entries);
  platform::HeapFree(lines);
  return found;
}

WalkStep StopAtEqualEntry(uint32_t, const wchar_t* entry, void* value) {
  return std::wcscmp(entry, static_cast<const wchar_t*>(value)) == 0 ? WalkStep::kStop : WalkStep::kGoOn;
}

// The program's full file name, or one in the kit folder in use, and its
// length; kPathCapacity when it does not fit.
uint32_t ProgramFileName(wchar_t (&name)[kPathCapacity]) {
  if (KitFolder[0] == L'\0') return platform::GetModuleFileNameW(name, kPathCapacity);
  const wchar_t separator[] = {platform::kPathSeparator, L'\0'};
  if (!CopyWideText(name, kPathCapacity, KitFolder) ||
      !AppendWideText(name, kPathCapacity, separator) ||
      !AppendWideText(name, kPathCapacity, L"ThermalMapInstaller.exe")) {
    return kPathCapacity;
  }
  return static_cast<uint32_t>(std::wcslen(name));
}

// The blanks that the wide text-to-integer conversion skips.
bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

int UseKitFolder(const wchar_t* folder) {
  if (CopyWideText(KitFolder, ArraySize(KitFolder), folder)) return 1;
  std::fill_n(KitFolder, ArraySize(KitFolder), L'\0');
  return 0;
}

void BuildPathBesideProgram(wchar_t* path, const wchar_t* name) {
  wchar_t moduleName[kPathCapacity] = {};
  std::fill_n(path, kPathCapacity, L'\0');
  // A name that filled the buffer may have been cut: its directory is unknown.
  uint32_t length = ProgramFileName(moduleName);
  if (length == 0 || length >= kPathCapacity) return;
  uint32_t slash = length;
  while (slash >= 1 && moduleName[slash] != platform::kPathSeparator) --slash;
  if (slash == 0) return;

  moduleName[slash + 1] = L'\0';
  // A path cut short would name another file: leave it empty instead.
  if (!CopyWideText(path, kPathCapacity, moduleName) ||
      !AppendWideText(path, kPathCapacity, name)) {
    std::fill_n(path, kPathCapacity, L'\0');
  }
}

void ReadPlatformTableValue(const wchar_t* section, const wchar_t* key, TableValue value) {
  wchar_t tablePath[kPathCapacity];
  BuildPathBesideProgram(tablePath, kPlatformTableFileName);
  ReadTableValue(tablePath, section, key, value);
}

const wchar_t* PlatformTableSection(int tableType) {
  return tableType == 0 ? L"DMI_Type0_Table" : L"DMI_Type130_Table";
}

int CheckPlatformTableVersion() {
  TableValue tag;
  ReadPlatformTableValue(L"Version", L"Ver", tag);
  if (std::wcscmp(tag, kPlatformTableFormatTag) == 0) return 1;
  platform::OutputDebugStringW(L"Read ini version error,");
  return 0;
}

int32_t ParseTableCount(const wchar_t* text) {
  while (IsBlank(*text)) ++text;
  bool negative = *text == L'-';
  if (*text == L'-' || *text == L'+') ++text;
  int64_t magnitude = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    magnitude = std::min<int64_t>(magnitude * 10 + (*text - L'0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(std::min<int64_t>(magnitude, INT32_MAX));
}

int FindInPlatformTable(const wchar_t* value, int tableType) {
  return FindPlatformTableKey(value, tableType) != 0;
}

uint32_t FindPlatformTableKey(const wchar_t* value, int tableType) {
  // No read gives more than 99 characters.
  if (value == nullptr || std::wcslen(value) > 99 || (tableType != 0 && tableType != 130)) {
    return 0;
  }
  return WalkPlatformTable(value, tableType, StopAtEqualEntry, const_cast<wchar_t*>(value));
}

void ListPlatformTableEntries(int tableType, PlatformTableVisitor visit, void* context) {
  if (tableType == 0 || tableType == 130) WalkPlatformTable(nullptr, tableType, visit, context);
}
