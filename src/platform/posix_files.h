// Files on a POSIX system by Windows' rules, for the native checker's
// platform calls.
#pragma once

#include <string>

#include "common/profile_file.h"

namespace platform {

// The file descriptor of a handle that CreateFileW gave.
inline int Descriptor(void* handle) { return *static_cast<int*>(handle); }

// The native name of `path`. A component that is not there as written is
// the one in its folder whose name differs only in letter case (the first
// in name order), as Windows finds it.
std::string NativePath(const wchar_t* path);

// Reads the whole native file `path` into `bytes`; false when it cannot.
bool ReadNativeFile(const char* path, std::string& bytes);

// The profile file `file` parsed, or null when it cannot be read. The last
// one is kept while its size and time stay, as Windows keeps it: a kit's
// table is read once, not once for each key.
const ProfileFile* ReadProfile(const wchar_t* file);

}  // namespace platform
