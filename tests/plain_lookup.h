// The plain lookup of a platform table, for comparison with the real one:
// every key from 1 to the count read by its own call.
#pragma once

#include <cstdint>
#include <cwchar>
#include <string>

#include "install/platform_table.h"
#include "platform/platform.h"

// The count as the lookup reads it from "TOTAL_NUM" of `section`.
inline int32_t ReadTableCount(const wchar_t* section, const wchar_t* tablePath) {
  wchar_t text[100];
  platform::GetPrivateProfileStringW(section, L"TOTAL_NUM", L"N/A", text, 100, tablePath);
  return ParseTableCount(text);
}

// The first key whose entry equals `value`, or 0.
inline uint32_t PlainLookup(const wchar_t* value, const wchar_t* section,
                            const wchar_t* tablePath) {
  wchar_t text[100];
  int32_t count = ReadTableCount(section, tablePath);
  for (int32_t i = 1; i <= count; ++i) {
    platform::GetPrivateProfileStringW(section, std::to_wstring(i).c_str(), L"N/A", text, 100,
                                       tablePath);
    if (std::wcscmp(text, value) == 0) return static_cast<uint32_t>(i);
  }
  return 0;
}

// The first key that the table's listing gives for `value`, or 0.
inline uint32_t ListedKey(const wchar_t* value, int tableType) {
  struct Search {
    const wchar_t* value;
    uint32_t key;
  } search{value, 0};
  ListPlatformTableEntries(
      tableType,
      [](uint32_t key, const wchar_t* entry, void* context) {
        auto* s = static_cast<Search*>(context);
        if (s->key == 0 && std::wcscmp(entry, s->value) == 0) s->key = key;
        return WalkStep::kGoOn;
      },
      &search);
  return search.key;
}
