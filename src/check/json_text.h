// Text for JSON and HTML output and for the console.
#pragma once

#include <string>
#include <string_view>

// Appends `text` (UTF-16 code units) to `out` as a JSON string in UTF-8,
// with quotes: control characters escaped, an unpaired surrogate written as
// U+FFFD. Null text is written as null.
void AppendJsonString(std::string& out, const wchar_t* text);

// Appends `text` (valid UTF-8) to `out` as a JSON string, with quotes and
// control characters escaped.
void AppendJsonUtf8(std::string& out, std::string_view text);

// Appends `text` (UTF-16 code units) to `out` as HTML text in UTF-8: "&",
// "<", ">" and both quotes as references, control characters and unpaired
// surrogates as U+FFFD.
void AppendHtmlText(std::string& out, const wchar_t* text);

// `text` for the console: printable ASCII as it is, every other UTF-16 unit
// as '?', as the report prints firmware text.
std::string ConsoleText(const wchar_t* text);

// `bytes` (8-bit text) widened one character per byte.
std::wstring Widened(const std::string& bytes);
