#include "install/deploy.h"

#include <cwchar>

#include "common/wide_text.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

// Room in a source name for the separator, the map's name and the terminator.
constexpr size_t kSuffixRoom = 27;

constexpr uint32_t kReadOnlyOrHidden =
    platform::kFileAttributeReadOnly | platform::kFileAttributeHidden;

// Room for a final path: the path limit, the "\\?\" before it, and
// whatever a link inside the kit may add.
constexpr uint32_t kFinalPathCapacity = 1024;

// Copies the open map `from` to `temporary`, flushed to disk: its data must
// be there before the move makes it the map, or a power cut could leave a
// map whose name is new and whose bytes are not.
bool WriteTemporaryCopy(void* from, const wchar_t* temporary) {
  // A read-only or hidden copy left by an interrupted run would refuse this one.
  platform::SetFileAttributesW(temporary, platform::kFileAttributeNormal);
  void* to = platform::CreateFileW(temporary, platform::FileAccess::kCreateAlways);
  if (to == nullptr) return false;
  char block[16384];
  uint32_t read = 0;
  bool copied = true;
  while (copied && (copied = platform::ReadFile(from, block, sizeof block, read)) && read > 0) {
    copied = platform::WriteFile(to, block, read);
  }
  copied = copied && platform::FlushFileBuffers(to);
  platform::CloseHandle(to);
  return copied;
}

// Moves `temporary` over `target`. A read-only or hidden target would refuse
// it; those attributes come back when the move fails.
bool MoveOver(const wchar_t* temporary, const wchar_t* target) {
  uint32_t attributes = platform::GetFileAttributesW(target);
  bool guarded = attributes != platform::kInvalidFileAttributes && (attributes & kReadOnlyOrHidden);
  if (guarded) {
    uint32_t open = attributes & ~kReadOnlyOrHidden;
    platform::SetFileAttributesW(target, open != 0 ? open : platform::kFileAttributeNormal);
  }
  if (platform::MoveFileExW(temporary, target)) return true;
  if (guarded) platform::SetFileAttributesW(target, attributes);
  return false;
}

// Replaces the installed map with `source`, whole or not at all: the map is
// copied beside its target and moved over it in one step. Whatever fails,
// the copy is removed and the installed map stays as it was. The map is
// opened once, and the file whose place is checked is the file copied, so
// a link swapped in between cannot lead the copy out of the kit.
void ReplaceThermalMap(const wchar_t* source, const ThermalMapFile& map) {
  void* from = platform::CreateFileW(source, platform::FileAccess::kReadUnchanging);
  if (from == nullptr) return;
  if (ThermalMapSourceInKit(from) &&
      !(WriteTemporaryCopy(from, map.temporary) && MoveOver(map.temporary, map.target))) {
    platform::DeleteFileW(map.temporary);
  }
  platform::CloseHandle(from);
}

// Installs the map of folder `dir`. A source name the heap cannot hold is
// not copied.
void InstallThermalMap(const wchar_t* dir, size_t dirLength, const ThermalMapFile& map) {
  size_t capacity = dirLength + kSuffixRoom;
  auto* source = static_cast<wchar_t*>(platform::HeapAlloc(capacity * sizeof(wchar_t)));
  if (source == nullptr) return;
  BuildThermalMapSourceName(source, capacity, dir, map);
  ReplaceThermalMap(source, map);
  platform::HeapFree(source);
}

}  // namespace

// The temporary name is fixed, so that a copy left by an interrupted run is
// simply overwritten by the next one.
const ThermalMapFile kThermalMapFiles[2] = {
    {L"ThermalMap_AC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini.new"},
    {L"ThermalMap_DC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini.new"},
};

int ThermalMapSourceInKit(void* file) {
  wchar_t kit[kPathCapacity];
  BuildPathBesideProgram(kit, L"");
  if (kit[0] == L'\0') return 0;
  void* folder = platform::CreateFileW(kit, platform::FileAccess::kOpenFolder);
  if (folder == nullptr) return 0;
  wchar_t kitPath[kFinalPathCapacity];
  uint32_t kitLength = platform::GetFinalPathNameByHandleW(folder, kitPath, kFinalPathCapacity);
  platform::CloseHandle(folder);
  wchar_t mapPath[kFinalPathCapacity];
  uint32_t mapLength = platform::GetFinalPathNameByHandleW(file, mapPath, kFinalPathCapacity);
  if (kitLength == 0 || mapLength == 0) return 0;
  // A folder at a drive's root ends in its backslash.
  if (kitPath[kitLength - 1] == platform::kPathSeparator) --kitLength;
  // Whole components only: C:\Kit2 does not lie inside C:\Kit.
  return mapLength > kitLength + 1 && mapPath[kitLength] == platform::kPathSeparator &&
         platform::CompareStringOrdinal(mapPath, kitPath, kitLength);
}

int BuildThermalMapSourceName(wchar_t* source, size_t capacity, const wchar_t* dir,
                              const ThermalMapFile& map) {
  const wchar_t separator[] = {platform::kPathSeparator, L'\0'};
  return CopyWideText(source, capacity, dir) && AppendWideText(source, capacity, separator) &&
         AppendWideText(source, capacity, map.name);
}

void DeployThermalMaps(const wchar_t* dir) {
  // Without a selected folder the sources would name the root of the
  // current drive.
  size_t dirLength = std::wcslen(dir);
  if (dirLength == 0) return;
  if (!platform::Wow64EnableWow64FsRedirection(false)) return;
  // The AC map comes first.
  for (const ThermalMapFile& map : kThermalMapFiles) InstallThermalMap(dir, dirLength, map);
  platform::Wow64EnableWow64FsRedirection(true);
}
