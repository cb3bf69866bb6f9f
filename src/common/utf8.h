// UTF-8, as the programs write text that is not for the console.
#pragma once

#include <cstdint>
#include <string>

// Appends code point `code` (at most U+10FFFF) to `out` in UTF-8.
void AppendUtf8(std::string& out, uint32_t code);
