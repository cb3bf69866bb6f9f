#include "check/map_hash.h"

#include "platform/platform.h"

namespace {

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighs = 0x8080808080808080u;

// The high bit of each byte of `word` (whose bytes are all below 0x80) that
// lies in [low, high]: no byte's sum or difference carries into the next.
uint64_t InRange(uint64_t word, uint8_t low, uint8_t high) {
  return (word + kOnes * (0x80 - low)) & (kOnes * (0x80 + high) - word) & kHighs;
}

}  // namespace

bool HashOpenFile(void* file, MapHash& hash) { return platform::HashFileSha256(file, hash.bytes); }

void WriteHex(const MapHash& hash, char* text) {
  // Both digits of each byte value, so that a byte is one look-up.
  struct DigitPairs {
    char digits[512];
    constexpr DigitPairs() : digits() {
      for (size_t i = 0; i < 256; ++i) {
        digits[2 * i] = "0123456789abcdef"[i >> 4];
        digits[2 * i + 1] = "0123456789abcdef"[i & 0xF];
      }
    }
  };
  static constexpr DigitPairs kPairs;
  for (size_t i = 0; i < sizeof hash.bytes; ++i) {
    std::memcpy(text + 2 * i, kPairs.digits + size_t{2} * hash.bytes[i], 2);
  }
}

std::string HexOf(const MapHash& hash) {
  std::string text(kHexLength, '0');
  WriteHex(hash, &text[0]);
  return text;
}

bool ParseHex(std::string_view text, MapHash& hash) {
  // Eight digits at a time: a fleet's export holds two hashes a row, and
  // millions of rows.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word's first byte is its lowest");
  if (text.size() != kHexLength) return false;
  for (size_t at = 0; at < kHexLength; at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    // Letters in lower case; a byte that only becomes a letter so was one.
    uint64_t lower = word | kOnes * 0x20;
    bool digits = (word & kHighs) == 0 && (InRange(word, '0', '9') | InRange(lower, 'a', 'f')) == kHighs;
    if (!digits) return false;
    // Each byte's value, then each pair of them in one byte, first digit high.
    uint64_t values = (lower & kOnes * 0x0F) + 9 * ((lower >> 6) & kOnes);
    uint64_t pairs = (values & 0x00FF00FF00FF00FFu) << 4 | (values >> 8 & 0x00FF00FF00FF00FFu);
    pairs = (pairs | pairs >> 8) & 0x0000FFFF0000FFFFu;
    pairs = (pairs | pairs >> 16) & 0xFFFFFFFFu;
    for (size_t i = 0; i < 4; ++i) hash.bytes[at / 2 + i] = static_cast<uint8_t>(pairs >> (8 * i));
  }
  return true;
}
