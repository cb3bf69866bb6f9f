#include "install/deploy.h"

#include <cwchar>

#include "common/wide_text.h"
#include "platform/platform.h"

namespace {

// Room in a source name for the suffix and the terminator.
constexpr size_t kSuffixRoom = 27;

// Copies `dir` + `suffix` to `target`; the result is not examined. A source
// name the heap cannot hold is not copied.
void CopyThermalMap(const wchar_t* dir, size_t dirLength, const wchar_t* suffix,
                    const wchar_t* target) {
  size_t capacity = dirLength + kSuffixRoom;
  auto* source = static_cast<wchar_t*>(platform::HeapAlloc(capacity * sizeof(wchar_t)));
  if (source == nullptr) return;
  CopyWideText(source, capacity, dir);
  AppendWideText(source, capacity, suffix);
  platform::CopyFileW(source, target, false);
  platform::HeapFree(source);
}

}  // namespace

void DeployThermalMaps(const wchar_t* dir) {
  // Without a selected folder the sources would name the root of the
  // current drive.
  size_t dirLength = std::wcslen(dir);
  if (dirLength == 0) return;
  if (!platform::Wow64EnableWow64FsRedirection(false)) return;
  CopyThermalMap(dir, dirLength, L"\\ThermalMap_AC.ini",
                 L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini");
  CopyThermalMap(dir, dirLength, L"\\ThermalMap_DC.ini",
                 L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini");
  platform::Wow64EnableWow64FsRedirection(true);
}
