// Copies of wide text into fixed-size buffers.
#pragma once

#include <cstddef>

template <typename T, size_t N>
constexpr size_t ArraySize(const T (&)[N]) {
  return N;
}

// Copies `source` into `target` (`capacity` characters, capacity > 0), always
// terminated; returns 1 when all of it fit, 0 when it was cut.
int CopyWideText(wchar_t* target, size_t capacity, const wchar_t* source);

// Appends `source` to the text in `target` (`capacity` characters), always
// terminated; returns 1 when all of it fit, 0 when it was cut.
int AppendWideText(wchar_t* target, size_t capacity, const wchar_t* source);
