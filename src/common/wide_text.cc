#include "common/wide_text.h"

#include <cwchar>

int CopyWideText(wchar_t* target, size_t capacity, const wchar_t* source) {
  size_t i = 0;
  for (; source[i] != L'\0'; ++i) {
    if (i + 1 == capacity) {
      target[i] = L'\0';
      return 0;
    }
    target[i] = source[i];
  }
  target[i] = L'\0';
  return 1;
}

int AppendWideText(wchar_t* target, size_t capacity, const wchar_t* source) {
  size_t used = std::wcslen(target);
  return CopyWideText(target + used, capacity - used, source);
}
