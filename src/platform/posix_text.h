// Text on a POSIX system as Windows has it: native (UTF-8) names and
// arguments as the UTF-16 units that the core keeps in wchar_t, and the OEM
// code page of firmware strings. A byte that is no part of valid UTF-8 becomes
// the lone surrogate U+DC80 + byte and turns back into that byte, so that
// every name the system gives can be opened again.
#pragma once

#include <string>

// `native` as UTF-16 units, one to a wchar_t.
std::wstring WideFromNative(const std::string& native);

// The UTF-16 units of `wide` (up to its terminator) as native bytes.
std::string NativeFromWide(const wchar_t* wide);

// The character of byte `byte` in the OEM code page: 437, as Windows in US
// English (and Wine) converts firmware strings.
wchar_t OemCharacter(unsigned char byte);
