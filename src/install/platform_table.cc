#include "install/platform_table.h"

#include <algorithm>
#include <cwchar>

#include "common/wide_text.h"
#include "platform/platform.h"

namespace {

constexpr wchar_t kTableFileName[] = L"KORVPlatformTable.ini";
constexpr wchar_t kAbsent[] = L"N/A";

// Every value read from the table is cut to 99 characters.
using TableValue = wchar_t[100];

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

// The section's key names, each terminated, in a heap block the caller
// releases; `listLength` is the characters used. Null when the heap cannot
// hold the list.
wchar_t* ListSectionKeys(const wchar_t* tablePath, const wchar_t* section, uint32_t& listLength) {
  listLength = 0;
  // A list that does not fit answers capacity - 2: grow until it fits.
  for (uint32_t capacity = 4096;; capacity *= 2) {
    auto* list = static_cast<wchar_t*>(platform::HeapAlloc(capacity * sizeof(wchar_t)));
    if (list == nullptr) return nullptr;
    listLength = platform::GetPrivateProfileStringW(section, nullptr, L"", list, capacity, tablePath);
    if (listLength < capacity - 2) return list;
    platform::HeapFree(list);
    if (capacity > UINT32_MAX / 2 / sizeof(wchar_t)) return nullptr;
  }
}

// The number whose canonical decimal (no sign, no leading zero) `key` is,
// from 1 to 2147483647; 0 for any other text.
int32_t CanonicalKeyNumber(const wchar_t* key) {
  if (key[0] < L'1' || key[0] > L'9') return 0;
  int64_t number = 0;
  for (const wchar_t* c = key; *c != L'\0'; ++c) {
    if (*c < L'0' || *c > L'9') return 0;
    number = number * 10 + (*c - L'0');
    if (number > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(number);
}

// Gives the result of reading the keys "1" to `count` one by one, where an
// absent key reads "N/A", without one read per number: only the listed keys
// in range are read, and the numbers without a key are counted. `numbers`
// has room for every listed key.
int MatchEntries(const wchar_t* value, const wchar_t* tablePath, const wchar_t* section,
                 int32_t count, const wchar_t* keys, uint32_t listLength, int32_t* numbers) {
  uint32_t numbersInRange = 0;
  for (uint32_t at = 0; at < listLength;) {
    const wchar_t* key = keys + at;
    at += static_cast<uint32_t>(std::wcslen(key)) + 1;
    int32_t number = CanonicalKeyNumber(key);
    if (number == 0 || number > count) continue;
    TableValue entry;
    ReadTableValue(tablePath, section, key, entry);
    if (std::wcscmp(entry, value) == 0) return 1;
    numbers[numbersInRange++] = number;
  }
  // A key may stand twice in the list; each number counts once.
  std::sort(numbers, numbers + numbersInRange);
  auto keyed = static_cast<uint32_t>(std::unique(numbers, numbers + numbersInRange) - numbers);
  return keyed < static_cast<uint32_t>(count) && std::wcscmp(value, kAbsent) == 0;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

void BuildPathBesideProgram(wchar_t* path, const wchar_t* name) {
  wchar_t moduleName[kPathCapacity] = {};
  std::fill_n(path, kPathCapacity, L'\0');
  // A name that filled the buffer may have been cut: its directory is unknown.
  uint32_t length = platform::GetModuleFileNameW(moduleName, kPathCapacity);
  if (length == 0 || length >= kPathCapacity) return;
  uint32_t slash = length;
  while (slash >= 1 && moduleName[slash] != L'\\') --slash;
  if (slash == 0) return;

  moduleName[slash + 1] = L'\0';
  // A path cut short would name another file: leave it empty instead.
  if (!CopyWideText(path, kPathCapacity, moduleName) ||
      !AppendWideText(path, kPathCapacity, name)) {
    std::fill_n(path, kPathCapacity, L'\0');
  }
}

int CheckPlatformTableVersion() {
  wchar_t tablePath[kPathCapacity];
  BuildPathBesideProgram(tablePath, kTableFileName);
  TableValue tag;
  ReadTableValue(tablePath, L"Version", L"Ver", tag);
  if (std::wcscmp(tag, L"Morlane_V4.0.0.4") == 0) return 1;
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
  if (value == nullptr || (tableType != 0 && tableType != 130)) return 0;
  const wchar_t* section = tableType == 0 ? L"DMI_Type0_Table" : L"DMI_Type130_Table";
  wchar_t tablePath[kPathCapacity];
  BuildPathBesideProgram(tablePath, kTableFileName);

  TableValue countText;
  ReadTableValue(tablePath, section, L"TOTAL_NUM", countText);
  int32_t count = ParseTableCount(countText);
  if (count <= 0) return 0;

  // A key name takes at least two characters of the list, so the list holds
  // at most listLength / 2 numbers. Without memory for them: no match.
  uint32_t listLength = 0;
  wchar_t* keys = ListSectionKeys(tablePath, section, listLength);
  auto* numbers = keys == nullptr ? nullptr
                                  : static_cast<int32_t*>(platform::HeapAlloc(
                                        (listLength / 2 + 1) * sizeof(int32_t)));
  int found = numbers != nullptr &&
              MatchEntries(value, tablePath, section, count, keys, listLength, numbers);
  platform::HeapFree(numbers);
  platform::HeapFree(keys);
  return found;
}
