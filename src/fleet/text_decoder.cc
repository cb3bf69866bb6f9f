#include "fleet/text_decoder.h"

#include <cstdint>

#include "common/utf8.h"
#include "fleet/csv_bytes.h"

size_t TextDecoder::Decode(const char* bytes, size_t count, bool ended, std::string& text) {
  size_t mark = 0;
  if (encoding_ == Encoding::kUnknown) {
    // The byte-order mark needs its bytes, unless the export is shorter.
    if (count < 3 && !ended) return 0;
    const auto* start = reinterpret_cast<const uint8_t*>(bytes);
    encoding_ = Encoding::kUtf8;
    if (count >= 2 && start[0] == 0xFF && start[1] == 0xFE) encoding_ = Encoding::kUtf16Little;
    if (count >= 2 && start[0] == 0xFE && start[1] == 0xFF) encoding_ = Encoding::kUtf16Big;
    mark = encoding_ != Encoding::kUtf8                                           ? 2
           : count >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF ? 3
                                                                                 : 0;
  }
  return mark + (encoding_ == Encoding::kUtf8 ? DecodeUtf8Bytes(bytes + mark, count - mark, ended, text)
                                              : DecodeUtf16(bytes + mark, count - mark, ended, text));
}

size_t TextDecoder::DecodeUtf8Bytes(const char* bytes, size_t count, bool ended, std::string& text) const {
  if (AllAscii(bytes, count)) {
    text.append(bytes, count);
    return count;
  }
  size_t at = 0;
  while (at < count) {
    // Runs of ASCII go across whole.
    size_t plain = at;
    while (plain < count && static_cast<uint8_t>(bytes[plain]) < 0x80) ++plain;
    text.append(bytes + at, plain - at);
    at = plain;
    if (at == count) break;
    uint32_t code = 0;
    int taken = DecodeUtf8(bytes + at, count - at, code);
    if (taken < 0 && !ended) break;  // the rest of it comes with the next bytes
    if (taken <= 0) {
      code = Windows1252CodePoint(static_cast<uint8_t>(bytes[at]));
      taken = 1;
    }
    AppendUtf8(text, code);
    at += static_cast<size_t>(taken);
  }
  return at;
}

size_t TextDecoder::DecodeUtf16(const char* bytes, size_t count, bool ended, std::string& text) const {
  const auto* units = reinterpret_cast<const uint8_t*>(bytes);
  bool little = encoding_ == Encoding::kUtf16Little;
  auto unit = [units, little](size_t i) -> uint32_t {
    return little ? units[i] | units[i + 1] << 8 : units[i] << 8 | units[i + 1];
  };
  size_t at = 0;
  while (count - at >= 2) {
    uint32_t code = unit(at);
    size_t taken = 2;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (count - at < 4 && !ended) break;
      uint32_t low = count - at >= 4 ? unit(at + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        taken = 4;
      }
    }
    // An unpaired surrogate has no place in UTF-8.
    AppendUtf8(text, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
    at += taken;
  }
  // A last odd byte is no character.
  return ended ? count : at;
}
