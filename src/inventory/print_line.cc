#include "inventory/print_line.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace {

ReportWriter Writer = nullptr;

// Gathers a line's bytes and writes them out; a line longer than the buffer
// goes out in pieces rather than being cut.
struct LineWriter {
  char bytes[4096];
  size_t used = 0;

  void Put(char c) {
    if (used == sizeof bytes) Flush();
    bytes[used++] = c;
  }
  void Flush() {
    if (Writer != nullptr) {
      Writer(bytes, used);
    } else {
      std::fwrite(bytes, 1, used, stdout);
    }
    used = 0;
  }
};

void PutUnsigned(LineWriter& out, uintmax_t value, unsigned base, bool upper, int minDigits) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[sizeof(uintmax_t) * 8];
  int count = 0;
  do {
    reversed[count++] = digits[value % base];
    value /= base;
  } while (value != 0);
  for (int pad = count; pad < minDigits; ++pad) out.Put('0');
  while (count > 0) out.Put(reversed[--count]);
}

void PutText(LineWriter& out, const wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    bool printable = *text >= 0x20 && *text <= 0x7E;
    out.Put(printable ? static_cast<char>(*text) : '?');
  }
}

}  // namespace

void PrintLine(const wchar_t* format, ...) {
  LineWriter out;
  va_list args;
  va_start(args, format);
  for (const wchar_t* f = format; *f != L'\0'; ++f) {
    if (*f != L'%' || f[1] == L'\0') {
      out.Put(static_cast<char>(*f));
      continue;
    }
    switch (*++f) {
      case L's':
        PutText(out, va_arg(args, const wchar_t*));
        break;
      case L'd': {
        int value = va_arg(args, int);
        if (value < 0) out.Put('-');
        // Negate in unsigned arithmetic so that INT_MIN keeps its digits.
        unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : value;
        PutUnsigned(out, magnitude, 10, false, 1);
        break;
      }
      case L'x':
      case L'X':
        PutUnsigned(out, va_arg(args, unsigned), 16, *f == L'X', 1);
        break;
      case L'p':
        PutUnsigned(out, reinterpret_cast<uintptr_t>(va_arg(args, const void*)), 16, true,
                    sizeof(void*) * 2);
        break;
      default:
        out.Put('%');
        out.Put(static_cast<char>(*f));
        break;
    }
  }
  va_end(args);
  out.Flush();
  if (Writer == nullptr) std::fflush(stdout);
}

void SetReportWriter(ReportWriter write) { Writer = write; }
