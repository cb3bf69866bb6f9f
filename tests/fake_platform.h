// The in-memory stand-in for the Windows calls of src/platform/platform.h:
// tests set what the platform holds and read back what the program did.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FakePlatform {
  // The raw SMBIOS block; the size query answers with its size unless
  // reportedSize is set, and a fetch fills at most fetchFills bytes when set.
  std::vector<uint8_t> firmware;
  int64_t reportedSize = -1;
  int64_t fetchFills = -1;

  // Heap allocations fail once this many have succeeded (never when < 0),
  // and whenever they ask for more than heapLimit bytes.
  int heapAllocationsLeft = -1;
  size_t heapLimit = SIZE_MAX;

  std::wstring moduleFileName = L"C:\\Kit\\ThermalMapInstaller.exe";
  std::wstring computerName = L"PC-LINE-7";

  // Profile reads so far (see SetProfileFile).
  int profileReads = 0;

  bool redirectionCanBeSwitched = true;

  // The files the program opens, moves and deletes, by full name, with the
  // behaviour Windows documents: a move and a deletion refuse a read-only
  // file. Wine does not enforce it. A folder is there while a file is in it.
  struct File {
    std::string bytes;
    uint32_t attributes = 0x80;  // normal
  };
  std::map<std::wstring, File> files;
  // Links, by full name, to the file or folder where each leads: every path
  // through one names a file at its end, and an open file's final path is
  // that name after "\\?\".
  std::map<std::wstring, std::wstring> links;
  bool finalPathFails = false;
  // The access lists (ACL bytes) of files and folders; none for the others.
  std::map<std::wstring, std::string> accessLists;
  // Faults: writes fail (as on a full disk) once they wrote writeRoom bytes
  // when >= 0; moves, flushes or hashes fail.
  int64_t writeRoom = -1;
  bool moveFails = false;
  bool flushFails = false;
  bool hashFails = false;
  int64_t now = 1796869860;  // the system clock: 2026-12-10T02:31:00Z
  int openFiles = 0;  // and folder listings
  bool standardErrorIsConsole = false;

  // What the program did, in order: debug messages, redirection switches
  // and file operations, each as one line such as "MoveFileExW(a, b)".
  std::vector<std::wstring> calls;
  std::vector<std::wstring> debugMessages;
};

// The one stand-in every test uses.
FakePlatform& Fake();

// Empties the stand-in and releases every heap block it gave out.
void ResetFake();

// Standard input (the file "standard input") reads from its start again,
// as for a new run; within a run it is read once, as a pipe is.
void RewindStandardInput();

// Heap blocks given out and not yet released.
size_t LiveHeapBlocks();

// Puts a profile file at `path`, as its bytes on disk, read by the program's
// own profile reader (common/profile_file.h). The bytes are also one of the
// stand-in's files.
void SetProfileFile(const std::wstring& path, const std::string& bytes);

// Removes every profile file.
void ClearProfileFiles();

// Copies `text` into `buffer` (`capacity` > 0 characters), cut to fit and
// terminated; returns the characters copied.
uint32_t CopyCut(const std::wstring& text, wchar_t* buffer, uint32_t capacity);

// `text` as 8-bit bytes (each character's low byte).
std::string AnsiBytes(const std::wstring& text);

// Builds a raw SMBIOS block: the 8-byte header (version 3.2, DMI revision 0)
// around `table`, with `table`'s size as its length.
std::vector<uint8_t> RawSmbiosBlock(const std::vector<uint8_t>& table);
