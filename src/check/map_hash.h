// The SHA-256 of a thermal map: how the checker tells maps apart, in a kit
// and as installed, and how a machine reports what it has installed.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct MapHash {
  uint8_t bytes[32];

  bool operator==(const MapHash& other) const { return std::memcmp(bytes, other.bytes, sizeof bytes) == 0; }
  bool operator!=(const MapHash& other) const { return !(*this == other); }
  bool operator<(const MapHash& other) const { return std::memcmp(bytes, other.bytes, sizeof bytes) < 0; }
};

// Sets `hash` to the SHA-256 of the open file `file`, read from its position
// to its end as a stream; false when it cannot be read.
bool HashOpenFile(void* file, MapHash& hash);

// The length of a hash in hexadecimal.
constexpr size_t kHexLength = 64;

// Writes `hash` as kHexLength lower-case hexadecimal digits, as sha256sum
// writes it, to `text`; HexOf gives them as a string.
void WriteHex(const MapHash& hash, char* text);
std::string HexOf(const MapHash& hash);

// Reads 64 hexadecimal digits of either case into `hash`; false for any
// other text.
bool ParseHex(std::string_view text, MapHash& hash);
