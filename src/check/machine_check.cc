#include "check/machine_check.h"

#include <algorithm>

#include "common/wide_text.h"
#include "install/platform_table.h"
#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"
#include "inventory/print_line.h"
#include "inventory/smbios_table.h"
#include "platform/platform.h"

namespace {

std::string* CapturedReport = nullptr;

void CaptureReport(const char* bytes, size_t count) { CapturedReport->append(bytes, count); }

bool NotePlatformStructure(const uint8_t* structure, const uint8_t*, void* found) {
  *static_cast<bool*>(found) = structure[0] == 130;
  return structure[0] != 130;
}

bool HoldsPlatformStructure(const uint8_t* block, uint32_t size) {
  bool found = false;
  if (block != nullptr && size >= 8) {
    uint32_t length = 0;
    const uint8_t* table = RawSmbiosStructureTable(block, size, length);
    VisitSmbiosStructures(table, length, NotePlatformStructure, &found);
  }
  return found;
}

// Starts a report into `check`: the lines and BIOS texts of another machine
// are gone.
void BeginReport(MachineCheck& check) {
  check.report.clear();
  std::fill_n(BiosVersionText, ArraySize(BiosVersionText), L'\0');
  std::fill_n(BiosPlatformText, ArraySize(BiosPlatformText), L'\0');
  CapturedReport = &check.report;
  SetReportWriter(CaptureReport);
}

void EndReport(MachineCheck& check, const uint8_t* block, uint32_t size) {
  SetReportWriter(nullptr);
  CapturedReport = nullptr;
  check.biosVersion = BiosVersionText;
  check.platformName = BiosPlatformText;
  check.hasPlatform = HoldsPlatformStructure(block, size);
}

// The installed map against the kit's, read as the installer writes them:
// with redirection off.
InstalledState CompareInstalled(const MapCheck& map) {
  std::string installed;
  if (ReadWholeFile(map.map->target, installed, UINT64_MAX) != 1) {
    return InstalledState::kNotInstalled;
  }
  std::string source;
  bool same = map.sourceExists && ReadWholeFile(map.source.c_str(), source, UINT64_MAX) == 1 &&
              source == installed;
  return same ? InstalledState::kInPlace : InstalledState::kDiffers;
}

// Whether the installer's open of map `source` finds it inside the kit.
bool SourceInKit(const wchar_t* source) {
  void* file = platform::CreateFileW(source, platform::FileAccess::kReadUnchanging);
  if (file == nullptr) return false;
  bool inKit = ThermalMapSourceInKit(file) == 1;
  platform::CloseHandle(file);
  return inKit;
}

int ExitStatus(const MachineCheck& check, bool onThisMachine) {
  if (!check.tableExists || !check.tagOk) return 2;
  if (check.folder.empty()) return 1;
  for (const MapCheck& map : check.maps) {
    if (!map.sourceInKit) return 1;
    if (onThisMachine && map.installed != InstalledState::kInPlace) return 1;
  }
  return 0;
}

}  // namespace

void ReportFirmwareBlock(const uint8_t* block, uint32_t size, MachineCheck& check) {
  BeginReport(check);
  ReportRawSmbiosSize(size);
  ReportRawSmbiosBlock(block, size);
  EndReport(check, block, size);
}

const uint8_t* ReportThisMachine(MachineCheck& check, uint32_t& size) {
  BeginReport(check);
  const uint8_t* block = FetchRawSmbiosBlock(size);
  if (block != nullptr) ReportRawSmbiosBlock(block, size);
  EndReport(check, block, size);
  return block;
}

void JudgeMachine(MachineCheck& check, bool onThisMachine) {
  wchar_t path[kPathCapacity];
  BuildPathBesideProgram(path, L"");
  check.kit = path;
  if (check.kit.size() > 1) check.kit.pop_back();  // the backslash before the empty name
  BuildPathBesideProgram(path, kPlatformTableFileName);
  check.tableExists = path[0] != L'\0' && IsFile(path);

  TableValue value;
  ReadPlatformTableValue(L"Version", L"Ver", value);
  check.tag = value;
  check.tagOk = CheckPlatformTableVersion() == 1;
  for (int i = 0; i < 2; ++i) {
    ReadPlatformTableValue(PlatformTableSection(i == 0 ? 0 : 130), L"TOTAL_NUM", value);
    check.tables[i] = {value, ParseTableCount(value), false};
  }

  // The token as the selection takes it, from a copy of the version text.
  wchar_t version[ArraySize(BiosVersionText)];
  CopyWideText(version, ArraySize(version), BiosVersionText);
  const wchar_t* token = FirstVersionToken(version);
  check.hasToken = token != nullptr;
  check.token = token != nullptr ? token : L"";

  check.matchKey = 0;
  check.folderTooLong = false;
  wchar_t folder[kPathCapacity] = {};
  if (check.tagOk) {
    PlatformMatch match = SelectThermalMapSource(folder);
    check.matchTableType = match.tableType;
    check.matchKey = match.key;
    check.tables[0].lookedUp = true;
    check.tables[1].lookedUp = match.tableType == 130;
    check.folderTooLong = match.key != 0 && folder[0] == L'\0';
  }
  check.folder = folder;

  bool redirectionOff = onThisMachine && platform::Wow64EnableWow64FsRedirection(false);
  for (int i = 0; i < 2; ++i) {
    MapCheck& map = check.maps[i];
    map = {&kThermalMapFiles[i], L"", false, false, InstalledState::kNotChecked};
    wchar_t source[kPathCapacity] = {};
    if (folder[0] != L'\0' &&
        BuildThermalMapSourceName(source, ArraySize(source), folder, kThermalMapFiles[i])) {
      map.source = source;
      map.sourceExists = IsFile(source);
      map.sourceInKit = map.sourceExists && SourceInKit(source);
    }
    if (onThisMachine) map.installed = CompareInstalled(map);
  }
  if (redirectionOff) platform::Wow64EnableWow64FsRedirection(true);
  check.exitStatus = ExitStatus(check, onThisMachine);
}

int ReadWholeFile(const wchar_t* path, std::string& bytes, uint64_t limit) {
  bytes.clear();
  void* file = platform::CreateFileW(path, platform::FileAccess::kReadExisting);
  if (file == nullptr) return 0;
  uint64_t size = 0;
  bool read = platform::GetFileSizeEx(file, size);
  if (read && size > limit) {
    platform::CloseHandle(file);
    return 2;
  }
  if (read) bytes.resize(static_cast<size_t>(size));
  // A file that changes while it is read gives what could be read of it.
  size_t used = 0;
  while (read && used < bytes.size()) {
    uint32_t count = 0;
    uint32_t want = static_cast<uint32_t>(std::min<size_t>(bytes.size() - used, 1 << 20));
    read = platform::ReadFile(file, &bytes[used], want, count);
    if (count == 0) break;
    used += count;
  }
  platform::CloseHandle(file);
  bytes.resize(used);
  return read ? 1 : 0;
}

bool IsFile(const wchar_t* path) {
  uint32_t attributes = platform::GetFileAttributesW(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) == 0;
}

bool IsFolder(const wchar_t* path) {
  uint32_t attributes = platform::GetFileAttributesW(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}
