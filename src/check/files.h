// Reading the files the checker is given, through the platform's calls.
#pragma once

#include <cstdint>
#include <string>

// Reads the whole file `path` into `bytes`: 1 when it did, 0 when the file
// cannot be read, 2 when it is larger than `limit` bytes.
int ReadWholeFile(const wchar_t* path, std::string& bytes, uint64_t limit);

// Appends up to `count` bytes of the open file `file` to `bytes`, fewer at
// its end; false when a read fails.
bool AppendFileBytes(void* file, std::string& bytes, uint64_t count);

// Why `path` cannot be read: "no such file or folder", or "cannot be read".
std::string UnreadableReason(const std::wstring& path);

// The final path of the open file or folder `file`, every link resolved;
// empty when the system gives none.
std::wstring FinalPathOf(void* file);

// Whether final path `path` lies inside the folder whose final path is
// `folder` (both as FinalPathOf gives them).
bool LiesInside(const std::wstring& path, const std::wstring& folder);

// Whether `path` names a file, or a folder.
bool IsFile(const wchar_t* path);
bool IsFolder(const wchar_t* path);
