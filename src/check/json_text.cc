#include "check/json_text.h"

#include <cstdint>

#include "common/utf8.h"

void AppendJsonString(std::string& out, const wchar_t* text) {
  if (text == nullptr) {
    out += "null";
    return;
  }
  AppendJsonUtf8(out, Utf8FromWide(text));
}

void AppendHtmlText(std::string& out, const wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    uint32_t code = NextCodePoint(text);
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

void AppendJsonUtf8(std::string& out, std::string_view text) {
  out += '"';
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out += text.substr(plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        const char* digits = "0123456789abcdef";
        out += "\\u00";
        out += digits[c >> 4];
        out += digits[c & 0xF];
      }
    }
  }
  out += text.substr(plain);
  out += '"';
}
