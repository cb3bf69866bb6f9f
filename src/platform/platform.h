// The Windows calls this program makes, under their Windows names, with
// portable types so that everything outside src/platform/ compiles without
// <windows.h>. The programs for Windows link platform-win32.cc, the native
// checker platform-posix.cc (the same calls over POSIX, by Windows' rules),
// and the unit tests an in-memory stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The checker's name as its users type it: "ThermalMapCheck" on Windows,
// "thermalmapcheck" on Linux.
extern const char kCheckerName[];

// What separates a folder from the names in it: '\\' on Windows.
extern const wchar_t kPathSeparator;

// Firmware table provider signature of the raw SMBIOS table ('RSMB').
constexpr uint32_t kRawSmbiosProvider = 0x52534D42;

// Copies firmware table `tableId` of `provider` into `buffer` (`size` bytes);
// returns the bytes written, or the size needed when `buffer` is too small
// (a size query passes no buffer and 0), or 0 on failure.
uint32_t GetSystemFirmwareTable(uint32_t provider, uint32_t tableId, void* buffer, uint32_t size);

// Converts `length` bytes of OEM code page text into at most `capacity` wide
// characters without adding a terminator; returns the characters written.
int MultiByteToWideChar(const char* text, int length, wchar_t* buffer, int capacity);

// Sends `message` to the debugger's channel.
void OutputDebugStringW(const wchar_t* message);

// Takes `bytes` from the process heap; null when the heap cannot give them.
void* HeapAlloc(size_t bytes);

// Returns a block of HeapAlloc to the heap; null is ignored.
void HeapFree(void* block);

// Writes the running program's full file name into `buffer` (`capacity`
// characters) and returns its length, or 0 on failure.
uint32_t GetModuleFileNameW(wchar_t* buffer, uint32_t capacity);

// Reads `key` of `section` of profile file `file` into `buffer` (`capacity`
// characters, always terminated), or `fallback` when the file, section or key
// is absent. Returns the characters written without the terminator.
uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* fallback, wchar_t* buffer,
                                  uint32_t capacity, const wchar_t* file);

// Writes the lines of `section` of profile file `file` ("name=value", or a
// name alone; comments left out) into `buffer`, each terminated, closed by
// one more terminator. Returns the characters written without the final
// terminator; capacity - 2 when the lines were cut to fit.
uint32_t GetPrivateProfileSectionW(const wchar_t* section, wchar_t* buffer, uint32_t capacity,
                                   const wchar_t* file);

// Why this machine's firmware table cannot be read, and what to do: one
// sentence without a final stop.
const char* FirmwareTableProblem();

// Whether this system is the one the installer installs the maps on
// (Windows), so that the installed maps can be read.
bool HoldsInstalledMaps();

// Switches this thread's WOW64 file-system redirection on or off; false when
// the system cannot.
bool Wow64EnableWow64FsRedirection(bool enable);

// File attributes, as GetFileAttributesW and SetFileAttributesW give them.
constexpr uint32_t kFileAttributeReadOnly = 0x1;
constexpr uint32_t kFileAttributeHidden = 0x2;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// Moves file `source` over `target` in one step (MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH), returning once the move is on disk; false on
// failure, also for a read-only target.
bool MoveFileExW(const wchar_t* source, const wchar_t* target);

// Deletes file `path`; false on failure, also for a read-only file.
bool DeleteFileW(const wchar_t* path);

// The attributes of `path`, or kInvalidFileAttributes when it is absent.
uint32_t GetFileAttributesW(const wchar_t* path);

// Sets the attributes of `path` (kFileAttributeNormal for none); false on
// failure.
bool SetFileAttributesW(const wchar_t* path, uint32_t attributes);

constexpr uint32_t kFileAttributeDirectory = 0x10;

// How CreateFileW opens a file: an existing one for reading, shared with
// readers and writers (kReadNoWait: the same, but a FIFO or a device opens
// at once and reads without waiting, for an entry that is read only if it
// proves a file on a disk), or shared with readers only, so that nobody
// writes it while it is open; a new or emptied one for writing (kCreateNew:
// only a new one, where nothing of that name stands, not even a link); or an
// existing folder, to ask for its final path. Links are followed.
enum class FileAccess { kReadExisting, kReadNoWait, kReadUnchanging, kCreateAlways, kCreateNew, kOpenFolder };

// Opens file or folder `path` as `access` says; null on failure.
void* CreateFileW(const wchar_t* path, FileAccess access);

// Writes the final path of the open file or folder `file`, every link
// resolved ("\\?\C:\Kit\MRL01\ThermalMap_AC.ini"), into `buffer`
// (`capacity` characters); returns its length, or 0 on failure or when it
// does not fit.
uint32_t GetFinalPathNameByHandleW(void* file, wchar_t* buffer, uint32_t capacity);

// Whether the `length` characters at `a` and at `b` are the same text when
// letter case is ignored as the file system ignores it.
bool CompareStringOrdinal(const wchar_t* a, const wchar_t* b, uint32_t length);

// Copies the access list (DACL) of file or folder `path`, in the system's
// ACL layout, into `acl` (`capacity` bytes) and sets `size`; false when the
// system gives none, or it does not fit. The checker's alone: the installer
// never asks for it (it links without advapi32).
bool GetNamedSecurityInfoW(const wchar_t* path, uint8_t* acl, uint32_t capacity, uint32_t& size);

// Reads up to `size` bytes at the file's position into `buffer` and sets
// `read` to the bytes read (0 at the end); false on failure.
bool ReadFile(void* file, void* buffer, uint32_t size, uint32_t& read);

// Sets `digest` to the SHA-256 of the bytes of the open file `file` (as
// CreateFileW opened it) from its position to its end, read a block at a
// time so that a file is never held whole; false when a read fails or the
// system gives no SHA-256. CNG (bcrypt.dll) computes it on Windows, OpenSSL's
// libcrypto on Linux. The checker's alone: the installer never asks for it
// (it links without bcrypt).
bool HashFileSha256(void* file, uint8_t (&digest)[32]);

// Sets `digest` to the SHA-256 of the `size` bytes at `data`; false when the
// system gives no SHA-256. The checker's alone, as HashFileSha256.
bool HashBytesSha256(const void* data, size_t size, uint8_t (&digest)[32]);

// The system clock, in seconds since 1970-01-01T00:00:00Z. The checker's
// alone.
int64_t GetSystemTimeSeconds();

// Creates an empty file, read and written, that is gone once closed (in the
// system's folder for temporary files); null on failure. The checker's
// alone: it keeps a stream it must read twice.
void* CreateTemporaryFile();

// Moves the position of the open file `file` to its start; false on failure.
bool RewindFile(void* file);

// Why the last call of this thread failed, in the system's words with its
// code ("Access is denied. (error 5)").
std::string LastErrorText();

// Writes `size` bytes of `data` at the file's position; false unless all
// were written.
bool WriteFile(void* file, const void* data, uint32_t size);

// What an open file is: a file on a disk, whose size says what it holds; a
// folder; or a stream (a pipe, a device), which can only be read to its end.
enum class FileType { kDisk, kFolder, kStream };
FileType GetFileType(void* file);

// Sets `size` to the file's size in bytes; false on failure.
bool GetFileSizeEx(void* file, uint64_t& size);

// Writes the file's cached data through to the disk; false on failure.
bool FlushFileBuffers(void* file);

// Closes a file that CreateFileW opened.
void CloseHandle(void* file);

// What a folder's entry is once links are followed: a file (reached through
// a link, a reparse point on Windows, or not), a folder, or anything else (a
// FIFO, a socket, a device, a link to nothing), which could block an open.
enum class EntryKind { kFile, kLinkedFile, kFolder, kOther };

// Starts a listing of the folder entries that `pattern` (such as
// "C:\\Dumps\\*") names: writes the first one's name into `name` (`capacity`
// characters) and what it is; null when there is none.
void* FindFirstFileW(const wchar_t* pattern, wchar_t* name, uint32_t capacity, EntryKind& kind);

// The listing's next entry, as FindFirstFileW; false after the last.
bool FindNextFileW(void* listing, wchar_t* name, uint32_t capacity, EntryKind& kind);

// Ends a listing.
void FindClose(void* listing);

// Standard input, for ReadFile (GetStdHandle(STD_INPUT_HANDLE)); null when
// there is none. It is never closed.
void* GetStdInputHandle();

// Writes this computer's name, as `hostname` prints it, into `buffer`
// (`capacity` characters, terminated); returns its length, or 0 when the
// system gives none or it does not fit. The checker's alone.
uint32_t GetComputerNameExW(wchar_t* buffer, uint32_t capacity);

// Whether standard error is a console (GetConsoleMode answers for it).
bool StandardErrorIsConsole();

// Writes the `size` bytes of text at `text` to standard output at once,
// whatever it is (a file, a pipe, a console, NUL), its lines ending as the
// system's text ends them: "\r\n" on Windows. False unless all were
// written (a full disk, a pipe closed). The checker's standard output goes
// only through here.
bool WriteStandardOutput(const char* text, size_t size);

// Writes the full path of `path` (relative to the current folder) into
// `buffer` (`capacity` characters); returns its length, or 0 on failure or
// when it does not fit.
uint32_t GetFullPathNameW(const wchar_t* path, wchar_t* buffer, uint32_t capacity);

}  // namespace platform
