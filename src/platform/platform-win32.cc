#include "platform/platform.h"

#include <windows.h>

namespace platform {

uint32_t GetSystemFirmwareTable(uint32_t provider, uint32_t tableId, void* buffer, uint32_t size) {
  return ::GetSystemFirmwareTable(provider, tableId, buffer, size);
}

int MultiByteToWideChar(const char* text, int length, wchar_t* buffer, int capacity) {
  return ::MultiByteToWideChar(CP_OEMCP, 0, text, length, buffer, capacity);
}

void OutputDebugStringW(const wchar_t* message) { ::OutputDebugStringW(message); }

void* HeapAlloc(size_t bytes) { return ::HeapAlloc(::GetProcessHeap(), 0, bytes); }

void HeapFree(void* block) {
  if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}

uint32_t GetModuleFileNameW(wchar_t* buffer, uint32_t capacity) {
  return ::GetModuleFileNameW(nullptr, buffer, capacity);
}

uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* fallback, wchar_t* buffer,
                                  uint32_t capacity, const wchar_t* file) {
  return ::GetPrivateProfileStringW(section, key, fallback, buffer, capacity, file);
}

uint32_t GetPrivateProfileSectionW(const wchar_t* section, wchar_t* buffer, uint32_t capacity,
                                   const wchar_t* file) {
  return ::GetPrivateProfileSectionW(section, buffer, capacity, file);
}

bool Wow64EnableWow64FsRedirection(bool enable) {
  return ::Wow64EnableWow64FsRedirection(enable ? TRUE : FALSE) != FALSE;
}

bool CopyFileW(const wchar_t* source, const wchar_t* target, bool failIfExists) {
  return ::CopyFileW(source, target, failIfExists ? TRUE : FALSE) != FALSE;
}

}  // namespace platform
