// An export's bytes as UTF-8, whatever its encoding: UTF-8 with or without a
// byte-order mark, UTF-16 LE or BE after one, and bytes that are not UTF-8
// read as Windows-1252, as a spreadsheet's "ANSI" export is. The bytes come
// in pieces of any size; a character cut by a piece's end waits for the next.
#pragma once

#include <cstddef>
#include <string>

class TextDecoder {
 public:
  // Appends the UTF-8 of the `count` bytes at `bytes` to `text` and returns
  // how many of them it took; those it left begin a character that the next
  // bytes complete. With `ended` no bytes follow: all are taken, a cut
  // UTF-8 sequence as Windows-1252 and a last odd byte of UTF-16 as nothing.
  size_t Decode(const char* bytes, size_t count, bool ended, std::string& text);

 private:
  enum class Encoding { kUnknown, kUtf8, kUtf16Little, kUtf16Big };

  size_t DecodeUtf8Bytes(const char* bytes, size_t count, bool ended, std::string& text) const;
  size_t DecodeUtf16(const char* bytes, size_t count, bool ended, std::string& text) const;

  Encoding encoding_ = Encoding::kUnknown;
};
