#include "check/kit_snapshot.h"

#include <cwchar>

#include "check/files.h"
#include "common/wide_text.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"
#include "platform/platform.h"

namespace {

// The kit whose entries the selection's lookups read while a machine is
// decided.
const KitSnapshot* DecidingKit = nullptr;

uint32_t LookUpInSnapshot(const wchar_t* value, int tableType) {
  // No read gives more than 99 characters.
  if (value == nullptr || std::wcslen(value) > 99 || (tableType != 0 && tableType != 130)) return 0;
  const auto& entries = DecidingKit->entries[tableType == 0 ? 0 : 1];
  // One key's room serves every lookup.
  static std::wstring key;
  key.assign(value);
  auto found = entries.find(key);
  return found == entries.end() ? 0 : found->second;
}

WalkStep NoteEntry(uint32_t key, const wchar_t* entry, void* entries) {
  // The listing goes by ascending key, so the first key of a text stays.
  static_cast<std::unordered_map<std::wstring, uint32_t>*>(entries)->emplace(entry, key);
  return WalkStep::kGoOn;
}

// Whether the installer's open of `map` finds it inside the kit, and then
// the hash of what it would copy from that open file: a map it cannot read
// it cannot install either.
void ReadAsInstalled(MapSource& map) {
  void* file = platform::CreateFileW(map.source.c_str(), platform::FileAccess::kReadExisting);
  if (file == nullptr) return;
  map.inKit = ThermalMapSourceInKit(file) == 1 && HashOpenFile(file, map.hash);
  platform::CloseHandle(file);
}

}  // namespace

void UseKit(const KitSnapshot& kit) { UseKitFolder(kit.useFolder.c_str()); }

bool ReadKitSnapshot(const std::wstring& useFolder, KitSnapshot& kit) {
  kit = KitSnapshot{};
  if (!UseKitFolder(useFolder.c_str())) return false;
  kit.useFolder = useFolder;
  wchar_t path[kPathCapacity];
  BuildPathBesideProgram(path, L"");
  kit.path = path;
  if (kit.path.size() > 1) kit.path.pop_back();  // the separator before the empty name
  BuildPathBesideProgram(path, kPlatformTableFileName);
  kit.tableExists = path[0] != L'\0' && IsFile(path);

  TableValue value;
  ReadPlatformTableValue(L"Version", L"Ver", value);
  kit.tag = value;
  kit.tagOk = CheckPlatformTableVersion() == 1;
  for (int i = 0; i < 2; ++i) {
    int tableType = i == 0 ? 0 : 130;
    ReadPlatformTableValue(PlatformTableSection(tableType), L"TOTAL_NUM", value);
    kit.tables[i] = {value, ParseTableCount(value)};
    if (kit.tagOk) ListPlatformTableEntries(tableType, NoteEntry, &kit.entries[i]);
  }
  return true;
}

void ReadListedFolders(KitSnapshot& kit) {
  UseKit(kit);
  // A folder is named by the entry that selects it.
  wchar_t path[kPathCapacity];
  for (const auto& entries : kit.entries) {
    for (const auto& entry : entries) {
      BuildPathBesideProgram(path, entry.first.c_str());
      if (path[0] != L'\0' && kit.folders.count(path) == 0) kit.folders.emplace(path, FindFolderMaps(path));
    }
  }
}

std::array<MapSource, 2> FindFolderMaps(const wchar_t* folder) {
  std::array<MapSource, 2> maps{};
  if (folder[0] == L'\0') return maps;
  // The installer opens its sources with redirection off.
  bool redirectionOff = platform::Wow64EnableWow64FsRedirection(false);
  for (int i = 0; i < 2; ++i) {
    wchar_t source[kPathCapacity] = {};
    if (!BuildThermalMapSourceName(source, ArraySize(source), folder, kThermalMapFiles[i])) continue;
    maps[i].source = source;
    maps[i].exists = IsFile(source);
    if (maps[i].exists) ReadAsInstalled(maps[i]);
  }
  if (redirectionOff) platform::Wow64EnableWow64FsRedirection(true);
  return maps;
}

KitDecision DecideWithKit(KitSnapshot& kit, const wchar_t* biosVersion, const wchar_t* platformName) {
  UseKit(kit);
  CopyWideText(BiosVersionText, ArraySize(BiosVersionText), biosVersion);
  CopyWideText(BiosPlatformText, ArraySize(BiosPlatformText), platformName);
  KitDecision decision{};
  // The token as the selection takes it, from a copy of the version text.
  wchar_t version[ArraySize(BiosVersionText)];
  CopyWideText(version, ArraySize(version), BiosVersionText);
  const wchar_t* token = FirstVersionToken(version);
  decision.hasToken = token != nullptr;
  decision.token = token != nullptr ? token : L"";

  // A failing tag ends the installation stage before the selection.
  wchar_t folder[kPathCapacity] = {};
  if (kit.tagOk) {
    DecidingKit = &kit;
    PlatformMatch match = SelectThermalMapSource(folder, LookUpInSnapshot);
    DecidingKit = nullptr;
    decision.matchTableType = match.tableType;
    decision.matchKey = match.key;
    decision.folderTooLong = match.key != 0 && folder[0] == L'\0';
  }
  decision.folder = folder;
  auto known = kit.folders.find(decision.folder);
  if (known == kit.folders.end()) known = kit.folders.emplace(decision.folder, FindFolderMaps(folder)).first;
  decision.maps = &known->second;
  return decision;
}
