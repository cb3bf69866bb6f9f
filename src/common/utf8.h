// UTF-8, as the programs write text that is not for the console, and UTF-16
// units, as the core keeps text in wchar_t on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends code point `code` (at most U+10FFFF) to `out` in UTF-8.
void AppendUtf8(std::string& out, uint32_t code);

// Sets `code` to the code point of the UTF-8 sequence at `bytes` (of which
// `available` are there) and returns its length; 0 when the bytes begin no
// valid sequence (overlong forms, surrogates and codes past U+10FFFF are
// none), -1 when they begin one that `available` cuts short.
int DecodeUtf8(const char* bytes, size_t available, uint32_t& code);

// The character of byte `byte` in Windows-1252; its five unassigned bytes
// stay as they are, as Windows keeps them.
uint32_t Windows1252CodePoint(uint8_t byte);

// The code point at `text` (UTF-16 units), which moves past a surrogate
// pair; an unpaired surrogate is U+FFFD.
uint32_t NextCodePoint(const wchar_t*& text);

// Appends code point `code` to `out` as UTF-16 units.
void AppendUtf16(std::wstring& out, uint32_t code);

// Valid UTF-8 as UTF-16 units (any invalid byte U+FFFD).
std::wstring WideFromUtf8(std::string_view text);

// Writes the UTF-16 units of `text` (as WideFromUtf8 gives them) into
// `buffer` (`capacity` > 0 units), cut to fit as CopyWideText cuts them and
// always terminated.
void CopyUtf8AsWide(std::string_view text, wchar_t* buffer, size_t capacity);

// UTF-16 units up to the terminator in UTF-8, unpaired surrogates as U+FFFD.
std::string Utf8FromWide(const wchar_t* text);
