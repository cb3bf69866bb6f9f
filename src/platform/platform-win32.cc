#include "platform/platform.h"

#include <windows.h>

#include <cwchar>

namespace platform {

static_assert(kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY &&
              kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN &&
              kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
              kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES);

const wchar_t kPathSeparator = L'\\';

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

bool HoldsInstalledMaps() { return true; }

bool Wow64EnableWow64FsRedirection(bool enable) {
  return ::Wow64EnableWow64FsRedirection(enable ? TRUE : FALSE) != FALSE;
}

bool MoveFileExW(const wchar_t* source, const wchar_t* target) {
  return ::MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool DeleteFileW(const wchar_t* path) { return ::DeleteFileW(path) != FALSE; }

uint32_t GetFileAttributesW(const wchar_t* path) { return ::GetFileAttributesW(path); }

bool SetFileAttributesW(const wchar_t* path, uint32_t attributes) {
  return ::SetFileAttributesW(path, attributes) != FALSE;
}

void* CreateFileW(const wchar_t* path, FileAccess access) {
  HANDLE file = INVALID_HANDLE_VALUE;
  switch (access) {
    case FileAccess::kReadExisting:
    case FileAccess::kReadNoWait:
      // Shared with deletion too, so that the installer's replacement of a
      // map never fails while a check reads it.
      file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case FileAccess::kReadUnchanging:
      file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case FileAccess::kOpenFolder:
      file = ::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      break;
    case FileAccess::kCreateNew:
      file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case FileAccess::kCreateAlways:
      file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
      break;
  }
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

uint32_t GetFinalPathNameByHandleW(void* file, wchar_t* buffer, uint32_t capacity) {
  DWORD length = ::GetFinalPathNameByHandleW(file, buffer, capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  return length < capacity ? length : 0;
}

bool CompareStringOrdinal(const wchar_t* a, const wchar_t* b, uint32_t length) {
  return ::CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

bool ReadFile(void* file, void* buffer, uint32_t size, uint32_t& read) {
  DWORD count = 0;
  bool done = ::ReadFile(file, buffer, size, &count, nullptr) != FALSE;
  read = count;
  return done;
}

std::string LastErrorText() {
  DWORD code = ::GetLastError();
  char text[256] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, sizeof text, nullptr);
  // The system's text ends in a line break.
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) --length;
  return std::string(text, length) + (length > 0 ? " " : "") + "(error " + std::to_string(code) + ")";
}

bool WriteFile(void* file, const void* data, uint32_t size) {
  DWORD count = 0;
  return ::WriteFile(file, data, size, &count, nullptr) != FALSE && count == size;
}

FileType GetFileType(void* file) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return FileType::kStream;
  BY_HANDLE_FILE_INFORMATION information;
  bool folder = ::GetFileInformationByHandle(file, &information) != FALSE &&
                (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return folder ? FileType::kFolder : FileType::kDisk;
}

bool GetFileSizeEx(void* file, uint64_t& size) {
  LARGE_INTEGER bytes;
  if (!::GetFileSizeEx(file, &bytes)) return false;
  size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}

namespace {

// Copies a listing entry's name; a name that does not fit is passed over.
bool TakeFoundName(const WIN32_FIND_DATAW& found, wchar_t* name, uint32_t capacity,
                   EntryKind& kind) {
  size_t length = ::wcslen(found.cFileName);
  if (length >= capacity) return false;
  ::wmemcpy(name, found.cFileName, length + 1);
  kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0       ? EntryKind::kFolder
         : (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::kLinkedFile
                                                                        : EntryKind::kFile;
  return true;
}

}  // namespace

void* FindFirstFileW(const wchar_t* pattern, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  WIN32_FIND_DATAW found;
  HANDLE listing = ::FindFirstFileW(pattern, &found);
  if (listing == INVALID_HANDLE_VALUE) return nullptr;
  if (TakeFoundName(found, name, capacity, kind) || FindNextFileW(listing, name, capacity, kind)) {
    return listing;
  }
  ::FindClose(listing);
  return nullptr;
}

bool FindNextFileW(void* listing, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  WIN32_FIND_DATAW found;
  while (::FindNextFileW(listing, &found)) {
    if (TakeFoundName(found, name, capacity, kind)) return true;
  }
  return false;
}

void FindClose(void* listing) { ::FindClose(listing); }

void* GetStdInputHandle() {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  return input == INVALID_HANDLE_VALUE ? nullptr : input;
}

bool StandardErrorIsConsole() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

bool WriteStandardOutput(const char* text, size_t size) {
  // The C runtime takes a console or NUL for a terminal and writes to it a
  // byte at a time, and a file in pieces of 2 KiB; here every output leaves
  // in blocks of 16 KiB, which any console takes in one write.
  static char block[1 << 14];
  HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  size_t used = 0;
  bool written = true;
  auto flush = [output, &used, &written]() {
    DWORD count = 0;
    for (size_t at = 0; written && at < used; at += count) {
      written = ::WriteFile(output, block + at, static_cast<DWORD>(used - at), &count, nullptr) && count > 0;
    }
    used = 0;
  };
  for (const char* end = text + size; written && text < end; ++text) {
    if (used + 2 > sizeof block) flush();
    if (*text == '\n') block[used++] = '\r';
    block[used++] = *text;
  }
  flush();
  return written;
}

uint32_t GetFullPathNameW(const wchar_t* path, wchar_t* buffer, uint32_t capacity) {
  DWORD length = ::GetFullPathNameW(path, capacity, buffer, nullptr);
  return length < capacity ? length : 0;
}

bool FlushFileBuffers(void* file) { return ::FlushFileBuffers(file) != FALSE; }

void CloseHandle(void* file) { ::CloseHandle(file); }

}  // namespace platform
