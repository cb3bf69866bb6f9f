#include "fleet/csv_bytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// The lowest set bit of a word loaded from memory marks its first byte.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word's first byte is its lowest");

namespace {

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
constexpr uint64_t kHighs = 0x8080808080808080u;

// The high bit of each byte of `word` that equals `c`, and no other: the
// sum of a byte's low seven bits and 0x7F never carries into the next.
uint64_t Equal(uint64_t word, unsigned char c) {
  uint64_t x = word ^ (kOnes * c);
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The up to eight bytes at `text` (`count` of them) as a word, zero past them.
uint64_t Word(const char* text, size_t count) {
  uint64_t word = 0;
  if (count >= 8) {
    std::memcpy(&word, text, 8);
    return word;
  }
  for (size_t i = 0; i < count; ++i) word |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
  return word;
}

}  // namespace

const char* FindCsvSpecial(const char* at, const char* end) {
  for (; at < end; at += 8) {
    auto count = static_cast<size_t>(end - at);
    uint64_t word = Word(at, count);
    uint64_t found = Equal(word, ',') | Equal(word, '"') | Equal(word, '\r') | Equal(word, '\n');
    if (found != 0) return std::min(end, at + __builtin_ctzll(found) / 8);
  }
  return end;
}

bool FindCommas(const char* text, size_t length, std::vector<size_t>& commas) {
  for (size_t at = 0; at < length; at += 8) {
    uint64_t word = Word(text + at, length - at);
    if ((Equal(word, '"') | Equal(word, '\r')) != 0) return false;
    for (uint64_t found = Equal(word, ','); found != 0; found &= found - 1) {
      commas.push_back(at + static_cast<size_t>(__builtin_ctzll(found)) / 8);
    }
  }
  return true;
}

bool AllAscii(const char* bytes, size_t count) {
  uint64_t high = 0;
  for (size_t at = 0; at < count; at += 8) high |= Word(bytes + at, count - at);
  return (high & kHighs) == 0;
}
