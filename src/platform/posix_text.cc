#include "platform/posix_text.h"

#include <cstdint>

#include "common/utf8.h"

std::wstring WideFromNative(const std::string& native) {
  std::wstring wide;
  for (size_t i = 0; i < native.size();) {
    uint32_t code = 0;
    int taken = DecodeUtf8(native.data() + i, native.size() - i, code);
    if (taken <= 0) {
      wide += static_cast<wchar_t>(0xDC00 + static_cast<uint8_t>(native[i]));
      ++i;
      continue;
    }
    AppendUtf16(wide, code);
    i += static_cast<size_t>(taken);
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
