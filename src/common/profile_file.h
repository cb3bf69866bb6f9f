// Profile (INI) files read by the rules of Windows' GetPrivateProfileStringW,
// as measured under Wine: the native checker reads kit tables with them, and
// the tests' stand-in answers with them.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

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

// `text` without the reader's blanks at either end: tab to carriage return,
// Ctrl-Z and space.
std::wstring TrimProfileBlanks(const std::wstring& text);

// Parses a file's bytes: UTF-16 (LE or BE) or UTF-8 after a byte-order mark,
// else 8-bit text in Windows-1252, each character one UTF-16 unit.
ProfileFile ParseProfileFile(const std::string& bytes);

// GetPrivateProfileStringW over a parsed file (null: no file): `key` of
// `section` into `buffer` (`capacity` characters, terminated), or `fallback`
// when the section or key is absent; returns the characters written.
uint32_t ReadProfileString(const ProfileFile* file, const wchar_t* section, const wchar_t* key,
                           const wchar_t* fallback, wchar_t* buffer, uint32_t capacity);

// GetPrivateProfileSectionW over a parsed file (null: no file): the
// section's lines, comments left out, each terminated, closed by one more
// terminator; capacity - 2 when they were cut to fit.
uint32_t ReadProfileSection(const ProfileFile* file, const wchar_t* section, wchar_t* buffer,
                            uint32_t capacity);
