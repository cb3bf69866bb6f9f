#include "platform/posix_text.h"

#include <cstdint>

#include "common/utf8.h"

namespace {

void AppendUnits(std::wstring& wide, uint32_t code) {
  if (code > 0xFFFF) {
    wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
    wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
  } else {
    wide += static_cast<wchar_t>(code);
  }
}

}  // namespace

std::wstring WideFromNative(const std::string& native) {
  std::wstring wide;
  auto byte = [&native](size_t i) { return static_cast<uint8_t>(native[i]); };
  for (size_t i = 0; i < native.size();) {
    uint32_t lead = byte(i);
    size_t more = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                                : lead >= 0xF0 && lead < 0xF5 ? 3 : 4;
    uint32_t code = more == 0 ? lead : lead & (0x3F >> more);
    bool valid = more < 4 && i + more < native.size();
    for (size_t k = 1; valid && k <= more; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      code = code << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and codes past U+10FFFF are no valid UTF-8.
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kLeast[more] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
      wide += static_cast<wchar_t>(0xDC00 + lead);
      ++i;
      continue;
    }
    AppendUnits(wide, code);
    i += more + 1;
  }
  return wide;
}

std::string NativeFromWide(const wchar_t* wide) {
  std::string native;
  for (const wchar_t* p = wide; *p != L'\0'; ++p) {
    uint32_t unit = static_cast<uint32_t>(*p) & 0xFFFF;
    if (unit >= 0xD800 && unit < 0xDC00 && (p[1] & 0xFC00) == 0xDC00) {
      AppendUtf8(native, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) & 0x3FF));
      ++p;
    } else if (unit >= 0xDC80 && unit < 0xDD00) {
      native += static_cast<char>(unit - 0xDC00);  // an escaped byte
    } else {
      AppendUtf8(native, unit);
    }
  }
  return native;
}
