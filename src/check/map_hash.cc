#include "check/map_hash.h"

#include "platform/platform.h"

namespace {

// The value of hexadecimal digit `c`, or -1.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool HashOpenFile(void* file, MapHash& hash) { return platform::HashFileSha256(file, hash.bytes); }

std::string HexOf(const MapHash& hash) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(2 * sizeof hash.bytes, '0');
  for (size_t i = 0; i < sizeof hash.bytes; ++i) {
    text[2 * i] = kDigits[hash.bytes[i] >> 4];
    text[2 * i + 1] = kDigits[hash.bytes[i] & 0xF];
  }
  return text;
}

bool ParseHex(std::string_view text, MapHash& hash) {
  if (text.size() != 2 * sizeof hash.bytes) return false;
  for (size_t i = 0; i < sizeof hash.bytes; ++i) {
    int high = DigitValue(text[2 * i]);
    int low = DigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    hash.bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}
