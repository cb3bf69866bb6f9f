#include "check/json_text.h"

#include <cstdint>
#include <type_traits>

#include "common/utf8.h"

namespace {

// A UTF-16 unit (a code point where wchar_t is wider) as a number.
uint32_t Unit(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c); }

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point at `text`, which moves past a surrogate pair; an unpaired
// surrogate is U+FFFD.
uint32_t CodePoint(const wchar_t*& text) {
  uint32_t unit = Unit(*text);
  if (IsHighSurrogate(unit) && IsLowSurrogate(Unit(text[1]))) {
    ++text;
    return 0x10000 + ((unit - 0xD800) << 10) + (Unit(*text) - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF ? 0xFFFD : unit;
}

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
    } else {
      AppendUtf8(out, CodePoint(text));
    }
  }
  out += '"';
}

void AppendHtmlText(std::string& out, const wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    uint32_t code = CodePoint(text);
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      // Control characters have no place in a page.
      default: AppendUtf8(out, code < 0x20 || (code >= 0x7F && code < 0xA0) ? 0xFFFD : code);
    }
  }
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
