#include "common/utf8.h"

#include <type_traits>

namespace {

// A UTF-16 unit (a code point where wchar_t is wider) as a number.
uint32_t Unit(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c); }

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Windows-1252 from 0x80 to 0x9F; the other bytes are their own characters.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

uint32_t Windows1252CodePoint(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int DecodeUtf8(const char* bytes, size_t available, uint32_t& code) {
  auto byte = [bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  uint32_t lead = byte(0);
  int more = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
             : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
  if (more < 0) return 0;
  code = more == 0 ? lead : lead & (0x3F >> more);
  for (int k = 1; k <= more; ++k) {
    if (static_cast<size_t>(k) >= available) return -1;
    if ((byte(static_cast<size_t>(k)) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(static_cast<size_t>(k)) & 0x3F);
    // The second byte already tells an overlong form, a surrogate or a code
    // past U+10FFFF, so a cut sequence is judged as far as it goes.
    if (k == 1 && more >= 2) {
      uint32_t top = code << (6 * (more - 1));
      static const uint32_t kLeast[] = {0, 0, 0x800, 0x10000};
      if (top < kLeast[more] || top > 0x10FFFF || (top >= 0xD800 && top <= 0xDFFF)) return 0;
    }
  }
  return more + 1;
}

uint32_t NextCodePoint(const wchar_t*& text) {
  uint32_t unit = Unit(*text);
  if (IsHighSurrogate(unit) && IsLowSurrogate(Unit(text[1]))) {
    ++text;
    return 0x10000 + ((unit - 0xD800) << 10) + (Unit(*text) - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF ? 0xFFFD : unit;
}

void AppendUtf16(std::wstring& out, uint32_t code) {
  if (code > 0xFFFF) {
    out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
    out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
  } else {
    out += static_cast<wchar_t>(code);
  }
}

std::wstring WideFromUtf8(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    int taken = DecodeUtf8(text.data() + i, text.size() - i, code);
    if (taken <= 0) {
      wide += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(wide, code);
    i += static_cast<size_t>(taken);
  }
  return wide;
}

void CopyUtf8AsWide(std::string_view text, wchar_t* buffer, size_t capacity) {
  size_t used = 0;
  for (size_t i = 0; i < text.size() && used + 1 < capacity;) {
    auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      buffer[used++] = static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    uint32_t code = 0;
    int taken = DecodeUtf8(text.data() + i, text.size() - i, code);
    if (taken <= 0) {
      code = 0xFFFD;
      taken = 1;
    }
    if (code > 0xFFFF) {
      buffer[used++] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      if (used + 1 < capacity) buffer[used++] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      buffer[used++] = static_cast<wchar_t>(code);
    }
    i += static_cast<size_t>(taken);
  }
  buffer[used] = L'\0';
}

std::string Utf8FromWide(const wchar_t* text) {
  std::string out;
  for (; *text != L'\0'; ++text) {
    if (Unit(*text) < 0x80) {
      out += static_cast<char>(*text);
    } else {
      AppendUtf8(out, NextCodePoint(text));
    }
  }
  return out;
}
