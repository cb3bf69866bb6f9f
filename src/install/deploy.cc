#include "install/deploy.h"

#include <cwchar>

#include "common/wide_text.h"
#include "platform/platform.h"

namespace {

// Room in a source name for the suffix and the terminator.
constexpr size_t kSuffixRoom = 27;

constexpr uint32_t kReadOnlyOrHidden =
    platform::kFileAttributeReadOnly | platform::kFileAttributeHidden;

// The copy's data must be on disk before the move makes it the map, or a
// power cut could leave a map whose name is new and whose bytes are not.
bool FlushToDisk(const wchar_t* path) {
  void* file = platform::CreateFileW(path, platform::FileAccess::kWriteExisting);
  if (file == nullptr) return false;
  bool flushed = platform::FlushFileBuffers(file);
  platform::CloseHandle(file);
  return flushed;
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
// the copy is removed and the installed map stays as it was.
void ReplaceThermalMap(const wchar_t* source, const ThermalMapFile& map) {
  // A read-only copy left by an interrupted run would refuse this one.
  platform::SetFileAttributesW(map.temporary, platform::kFileAttributeNormal);
  bool copied = platform::CopyFileW(source, map.temporary, false);
  // The copy takes the source's attributes, and a read-only or hidden map
  // would block every later install (and the removal below).
  platform::SetFileAttributesW(map.temporary, platform::kFileAttributeNormal);
  if (copied && FlushToDisk(map.temporary) && MoveOver(map.temporary, map.target)) return;
  platform::DeleteFileW(map.temporary);
}

// Installs `dir` + the map's suffix. A source name the heap cannot hold is
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
    {L"ThermalMap_AC.ini", L"\\ThermalMap_AC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini.new"},
    {L"ThermalMap_DC.ini", L"\\ThermalMap_DC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini",
     L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini.new"},
};

int BuildThermalMapSourceName(wchar_t* source, size_t capacity, const wchar_t* dir,
                              const ThermalMapFile& map) {
  return CopyWideText(source, capacity, dir) && AppendWideText(source, capacity, map.suffix);
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
