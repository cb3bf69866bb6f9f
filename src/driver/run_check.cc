#include "driver/run_check.h"

#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "check/check_options.h"
#include "check/check_output.h"
#include "check/complaint.h"
#include "check/files.h"
#include "check/json_text.h"
#include "check/kit_findings.h"
#include "check/kit_seal.h"
#include "check/kit_snapshot.h"
#include "check/machine_check.h"
#include "common/utf8.h"
#include "fleet/export_start.h"
#include "fleet/fleet_sources.h"
#include "fleet/run_fleet.h"
#include "inventory/firmware_file.h"
#include "install/platform_table.h"
#include "inventory/print_line.h"
#include "inventory/smbios_table.h"
#include "platform/platform.h"

namespace {

// Writes `text` to standard output; false, having said so, when it could not.
bool Print(const std::string& text) {
  if (platform::WriteStandardOutput(text.data(), text.size())) return true;
  Complain("standard output could not be written whole (a full disk, or a pipe closed)");
  return false;
}

int Fail(const std::string& message) {
  Complain(message);
  return 3;
}

// The mistake, and where the whole usage is: the mistake must stay in sight.
int UsageError(const std::string& message) {
  Complain(message);
  Complain(std::string("see '") + platform::kCheckerName + " --help' for the options");
  return 3;
}

void DiscardReport(const char*, size_t) {}

// Writes this machine's table to `path` through a file beside it, so that
// an existing file is replaced only by a whole table.
int DumpThisMachine(const std::wstring& path) {
  SetReportWriter(DiscardReport);
  uint32_t size = 0;
  const uint8_t* block = FetchRawSmbiosBlock(size);
  SetReportWriter(nullptr);
  std::string name = ConsoleText(path.c_str());
  if (block == nullptr) return Fail("this machine gives no SMBIOS table to write to " + name);
  std::wstring temporary = path + L".new";
  void* file = platform::CreateFileW(temporary.c_str(), platform::FileAccess::kCreateAlways);
  bool written = file != nullptr && platform::WriteFile(file, block, size) &&
                 platform::FlushFileBuffers(file);
  if (file != nullptr) platform::CloseHandle(file);
  if (!written || !platform::MoveFileExW(temporary.c_str(), path.c_str())) {
    platform::DeleteFileW(temporary.c_str());
    return Fail(name + ": cannot be written");
  }
  return Print("Wrote this machine's table (" + std::to_string(size) + " bytes, a RawSMBIOSData block) to " +
               name + "\n")
             ? 0
             : 3;
}

// Reads the kit in folder `kit` (relative to the current folder, or full;
// empty: the checker's own folder), given as `option`, into `snapshot`. A
// path that names no folder is a usage error: a typo, or the table file for
// its folder. A folder without the table is a kit that installs nothing,
// and standard error says so in every format.
int ReadKit(const wchar_t* option, const std::wstring& kit, KitSnapshot& snapshot) {
  wchar_t full[kPathCapacity] = {};
  uint32_t length = 0;
  std::string name = ConsoleText(kit.c_str());
  if (!kit.empty()) {
    length = platform::GetFullPathNameW(kit.c_str(), full, kPathCapacity);
    // The paths in the kit add their own separator; a drive's root keeps
    // "C:", and the root of a POSIX system its "/".
    while (length > 1 && full[length - 1] == platform::kPathSeparator) full[--length] = L'\0';
    if (length > 0 && IsFile(full)) {
      return UsageError(ConsoleText(option) + " " + name + " is a file: give the folder that holds it");
    }
    if (length > 0 && !IsFolder(full)) return UsageError(ConsoleText(option) + " " + name + ": no such folder");
  }
  if ((!kit.empty() && length == 0) || !ReadKitSnapshot(full, snapshot)) {
    return Fail(name + ": the kit folder's path is too long");
  }
  ReadKitSeal(snapshot, option == std::wstring(L"--baseline-kit"));
  if (!snapshot.tableExists || !snapshot.tagOk) {
    Complain(std::string(option == std::wstring(L"--baseline-kit") ? "the baseline kit " : "the kit ") +
             ConsoleText(snapshot.path.c_str()) +
             (snapshot.tableExists ? "'s tag fails" : " has no KORVPlatformTable.ini") +
             ", so the installer installs nothing from it");
  }
  return 0;
}

// Seals `kit` as release `label`, unless it has error findings.
int SealKit(const KitSnapshot& kit, const std::wstring& label) {
  UseKit(kit);
  std::vector<KitFinding> findings = FindKitMistakes();
  std::string name = ConsoleText(kit.path.c_str());
  if (HoldsErrors(findings)) {
    Print(FindingsText(findings));
    Complain("the kit " + name + " has error findings, so it is not sealed");
    return 2;
  }
  size_t files = 0;
  std::string problem = WriteKitSeal(kit, Utf8FromWide(label.c_str()), files);
  if (!problem.empty()) return Fail(name + ": not sealed: " + problem);
  KitSnapshot sealed;
  ReadKitSnapshot(kit.useFolder, sealed);
  ReadKitSeal(sealed, false);
  return Print("Sealed " + name + " as release " + ReleaseText(sealed) + " (fingerprint " +
               HexOf(sealed.fingerprint).substr(0, 12) + "): " + std::to_string(files) + " files listed in SHA256SUMS\n")
             ? 0
             : 3;
}

}  // namespace

int RunCheck(wchar_t** argv) {
  CheckOptions options;
  std::string error;
  if (ParseCheckOptions(argv, options, error) != 0) return UsageError(error);
  if (options.help) {
    return Print(CheckUsage()) ? 0 : 3;
  }
  if (options.version) {
    return Print(std::string(platform::kCheckerName) + " " + CheckerVersion() + "\n") ? 0 : 3;
  }
  if (!options.dump.empty()) return DumpThisMachine(options.dump);
  // The kits stay where they are read: decisions point into them.
  std::deque<KitSnapshot> baselineKits(options.baselineKits.size());
  std::vector<KitSnapshot*> baselines;
  for (size_t i = 0; i < baselineKits.size(); ++i) {
    if (ReadKit(L"--baseline-kit", options.baselineKits[i], baselineKits[i]) != 0) return 3;
    baselines.push_back(&baselineKits[i]);
  }
  KitSnapshot kit;
  if (ReadKit(L"--kit", options.kit, kit) != 0) return 3;
  if (!options.seal.empty()) return SealKit(kit, options.seal);
  for (const KitSnapshot* baseline : baselines) {
    if (baseline->fingerprint == kit.fingerprint) {
      Complain("the kit and the baseline kit " + ConsoleText(baseline->path.c_str()) + " are the same bytes");
    }
  }

  InventoryColumns columns = ColumnsOf(options);
  bool fleet = options.firmware.size() > 1 || options.format == OutputFormat::kCsv ||
               !options.expect.empty() || options.maxAgeDays >= 0 ||
               options.format == OutputFormat::kHtml ||
               (options.firmware.size() == 1 &&
                (IsFolder(options.firmware[0].c_str()) || IsInventory(options.firmware[0], columns)));
  if (fleet) return RunFleet(options, kit, baselines);

  MachineCheck check{};
  bool onThisMachine = options.firmware.empty();
  if (onThisMachine) {
    check.firmware = L"this machine";
    check.format = "RawSMBIOSData block";
    uint32_t size = 0;
    if (ReportThisMachine(check, size) == nullptr) {
      return Fail(std::string("this machine's SMBIOS table cannot be read: ") + platform::FirmwareTableProblem());
    }
  } else {
    const std::wstring& file = options.firmware[0];
    std::string name = ConsoleText(file.c_str());
    std::string bytes;
    int read = ReadWholeFile(file.c_str(), bytes, kLargestFirmwareFile);
    if (read == 0) return Fail(name + ": " + UnreadableReason(file));
    FirmwareImage image{};
    if (read == 1) ParseFirmwareFile(bytes, image);
    if (read == 2 || image.error != nullptr) {
      // Text meant as an export says what keeps it from being one.
      std::string mistake = ExportMistake(file, columns);
      if (!mistake.empty()) return Fail(name + ": " + mistake);
      if (read == 2) return Fail(name + ": too large to be a firmware table (over 16 MiB)");
      return Fail(name + ": " + (image.format != nullptr ? std::string(image.format) + ", " : "") +
                  image.error);
    }
    check.firmware = file;
    check.format = image.format;
    ReportFirmwareBlock(reinterpret_cast<const uint8_t*>(image.block.data()),
                        static_cast<uint32_t>(image.block.size()), check, true);
  }
  // Where the installer never runs, the installed maps are not there to see.
  std::unique_ptr<KitMapIndex> kitMaps;
  if (onThisMachine && platform::HoldsInstalledMaps()) {
    kitMaps = std::make_unique<KitMapIndex>(kit, baselines);
  }
  JudgeMachine(check, kit, baselines, kitMaps.get());
  check.findings = KitFindings(kit, baselines);
  if (HoldsErrors(check.findings)) check.exitStatus = 2;
  bool printed = Print(options.format == OutputFormat::kJson ? MachineCheckJson(check) : MachineCheckText(check));
  return printed ? check.exitStatus : 3;
}
