// Scanning CSV text eight bytes at a time, for exports of millions of rows.
#pragma once

#include <cstddef>
#include <vector>

// The first of ',', '"', '\r' and '\n' in [at, end), or end.
const char* FindCsvSpecial(const char* at, const char* end);

// Appends where each comma stands among the `length` bytes at `text` to
// `commas`; false, having appended what it found, when they hold a quote or
// a carriage return.
bool FindCommas(const char* text, size_t length, std::vector<size_t>& commas);

// Whether the `count` bytes at `bytes` are all ASCII.
bool AllAscii(const char* bytes, size_t count);
