#include "check/json_text.h"

#include <cstdint>
#include <type_traits>

namespace {

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

// A UTF-16 unit (a code point where wchar_t is wider) as a number.
uint32_t Unit(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c); }

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void AppendJsonString(std::string& out, const wchar_t* text) {
  if (text == nullptr) {
    out += "null";
    return;
  }
  out += '"';
  for (; *text != L'\0'; ++text) {
    uint32_t unit = Unit(*text);
    switch (unit) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (unit < 0x20) {
      const char* digits = "0123456789abcdef";
      out += "\\u00";
      out += digits[unit >> 4];
      out += digits[unit & 0xF];
    } else if (IsHighSurrogate(unit) && IsLowSurrogate(Unit(text[1]))) {
      ++text;
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (Unit(*text) - 0xDC00));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  out += '"';
}

std::string ConsoleText(const wchar_t* text) {
  std::string out;
  for (; *text != L'\0'; ++text) out += *text >= 0x20 && *text <= 0x7E ? static_cast<char>(*text) : '?';
  return out;
}

std::wstring Widened(const std::string& bytes) {
  std::wstring text;
  for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}
