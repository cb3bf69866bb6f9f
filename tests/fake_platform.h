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

  // Profile files by full path, as 16-bit text, read with the platform's
  // profile-file rules.
  std::map<std::wstring, std::wstring> profileFiles;
  int profileReads = 0;

  bool redirectionCanBeSwitched = true;
  // Sources that a copy fails for, as if missing.
  std::vector<std::wstring> missingFiles;

  // What the program did, in order: debug messages, redirection switches
  // and copies, each as one line such as "CopyFileW(a, b, FALSE)".
  std::vector<std::wstring> calls;
  std::vector<std::wstring> debugMessages;
};

// The one stand-in every test uses.
FakePlatform& Fake();

// Empties the stand-in and releases every heap block it gave out.
void ResetFake();

// Heap blocks given out and not yet released.
size_t LiveHeapBlocks();

// Builds a raw SMBIOS block: the 8-byte header (version 3.2, DMI revision 0)
// around `table`, with `table`'s size as its length.
std::vector<uint8_t> RawSmbiosBlock(const std::vector<uint8_t>& table);
