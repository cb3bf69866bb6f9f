// The least a fleet check can cost under the same Wine: lists a folder and
// reads every file in it whole, with the calls the checker makes per file,
// and prints the number of files and bytes. Built for measuring, never
// shipped.
// Usage: read_folder_floor.exe FOLDER
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 3;
  std::wstring pattern = std::wstring(argv[1]) + L"\\*";
  WIN32_FIND_DATAW found;
  HANDLE listing = ::FindFirstFileW(pattern.c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return 1;
  unsigned long files = 0;
  unsigned long long bytes = 0;
  std::vector<char> buffer;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::wstring path = std::wstring(argv[1]) + L"\\" + found.cFileName;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    LARGE_INTEGER size;
    DWORD read = 0;
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
      buffer.resize(static_cast<size_t>(size.QuadPart));
      if (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        bytes += read;
      }
    }
    ::CloseHandle(file);
    ++files;
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  std::printf("%lu files, %llu bytes\n", files, bytes);
  return 0;
}
