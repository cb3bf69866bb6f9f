// The platform table file "KORVPlatformTable.ini" beside the program.
#pragma once

#include <cstdint>

#include "common/walk_step.h"

constexpr int kPathCapacity = 260;

constexpr wchar_t kPlatformTableFileName[] = L"KORVPlatformTable.ini";

// The format tag: "Ver" of section "Version" must read exactly this.
constexpr wchar_t kPlatformTableFormatTag[] = L"Morlane_V4.0.0.4";

// Every value read from the table is cut to 99 characters.
using TableValue = wchar_t[100];

// Makes `folder` (a full path without a trailing backslash) the kit in place
// of the program's own folder for every path beside the program; an empty
// one makes it the program's folder again. Returns 0, and keeps the
// program's folder, when a file name in it would not fit a path.
int UseKitFolder(const wchar_t* folder);

// Zero-fills `path` (kPathCapacity characters) and writes into it the
// program's directory, a path separator and `name`. Leaves it empty when the
// program's file name has no directory or the whole path does not fit.
void BuildPathBesideProgram(wchar_t* path, const wchar_t* name);

// Reads `key` of `section` of the table into `value`; "N/A" when the file,
// section or key is absent, or there is no path to the file.
void ReadPlatformTableValue(const wchar_t* section, const wchar_t* key, TableValue value);

// "DMI_Type0_Table" for SMBIOS type 0, "DMI_Type130_Table" for type 130.
const wchar_t* PlatformTableSection(int tableType);

// Returns 1 when the table's format tag is "Morlane_V4.0.0.4"; otherwise
// sends "Read ini version error," to the debug channel and returns 0.
int CheckPlatformTableVersion();

// Returns 1 when an entry of the table of SMBIOS type `tableType` (0 or 130)
// equals `value`, 0 otherwise or for a null `value`. Entries are the keys "1"
// to "TOTAL_NUM", each read as the platform reads it; one without a key
// reads "N/A". The cost follows the size of the section, not the count.
int FindInPlatformTable(const wchar_t* value, int tableType);

// The number of the first key from 1 to "TOTAL_NUM" whose entry equals
// `value`, as FindInPlatformTable finds it; 0 when none does.
uint32_t FindPlatformTableKey(const wchar_t* value, int tableType);

// Called with the number of a key of a table and its entry as read; kStop
// ends the walk there.
using PlatformTableVisitor = WalkStep (*)(uint32_t key, const wchar_t* entry, void* context);

// Calls `visit`, by ascending number, for every entry that a lookup of the
// table of SMBIOS type `tableType` can find: each number from 1 to
// "TOTAL_NUM" that has a line in the section, and the first one that has
// none (it reads "N/A"), each read as the platform reads it. For any value,
// FindPlatformTableKey gives the first number visited whose entry equals it.
void ListPlatformTableEntries(int tableType, PlatformTableVisitor visit, void* context);

// Converts text the way the wide text-to-integer conversion does: leading
// white space, an optional sign, decimal digits up to the first other
// character; saturates at the 32-bit limits; 0 without digits.
int32_t ParseTableCount(const wchar_t* text);
