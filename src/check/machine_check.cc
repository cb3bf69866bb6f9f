#include "check/machine_check.h"

#include <algorithm>

#include "check/files.h"
#include "common/wide_text.h"
#include "install/deploy.h"
#include "inventory/bios_decoders.h"
#include "inventory/print_line.h"
#include "inventory/smbios_table.h"
#include "platform/platform.h"

namespace {

std::string* CapturedReport = nullptr;

void CaptureReport(const char* bytes, size_t count) { CapturedReport->append(bytes, count); }

void DiscardReport(const char*, size_t) {}

WalkStep NotePlatformStructure(const uint8_t* structure, const uint8_t*, void* found) {
  *static_cast<bool*>(found) = structure[0] == 130;
  return structure[0] == 130 ? WalkStep::kStop : WalkStep::kGoOn;
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
void BeginReport(MachineCheck& check, bool withLines) {
  check.report.clear();
  std::fill_n(BiosVersionText, ArraySize(BiosVersionText), L'\0');
  std::fill_n(BiosPlatformText, ArraySize(BiosPlatformText), L'\0');
  CapturedReport = &check.report;
  SetReportWriter(withLines ? CaptureReport : DiscardReport);
}

void EndReport(MachineCheck& check, const uint8_t* block, uint32_t size) {
  SetReportWriter(nullptr);
  CapturedReport = nullptr;
  check.biosVersion = BiosVersionText;
  check.platformName = BiosPlatformText;
  check.hasPlatform = HoldsPlatformStructure(block, size);
}

int ExitStatus(const MachineCheck& check, bool onThisMachine) {
  if (!check.kit->tableExists || !check.kit->tagOk) return 2;
  if (!InstallsBothMaps(check.decision)) return 1;
  bool notInPlace = std::any_of(check.installed.begin(), check.installed.end(),
                                [](const InstalledMap& map) { return map.state != InstalledState::kInPlace; });
  return onThisMachine && notInPlace ? 1 : 0;
}

}  // namespace

void ReportFirmwareBlock(const uint8_t* block, uint32_t size, MachineCheck& check, bool withLines) {
  BeginReport(check, withLines);
  ReportRawSmbiosSize(size);
  ReportRawSmbiosBlock(block, size);
  EndReport(check, block, size);
}

const uint8_t* ReportThisMachine(MachineCheck& check, uint32_t& size) {
  BeginReport(check, true);
  const uint8_t* block = FetchRawSmbiosBlock(size);
  if (block != nullptr) ReportRawSmbiosBlock(block, size);
  EndReport(check, block, size);
  return block;
}

void JudgeMachine(MachineCheck& check, KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines,
                  const KitMapIndex* kitMaps) {
  bool onThisMachine = kitMaps != nullptr;
  check.kit = &kit;
  check.decision = DecideWithKit(kit, check.biosVersion.c_str(), check.platformName.c_str());
  check.baselineKit = baselines.empty() ? nullptr : baselines[0];
  // Each decision's maps stay where its kit keeps its folders.
  std::vector<KitDecision> older(baselines.size());
  std::vector<ReleaseDecision> olderDecisions(baselines.size());
  for (size_t i = 0; i < baselines.size(); ++i) {
    older[i] = DecideWithKit(*baselines[i], check.biosVersion.c_str(), check.platformName.c_str());
    olderDecisions[i] = {baselines[i], &older[i]};
  }
  if (!older.empty()) check.baseline = older[0];
  check.installed = kUncheckedMaps;
  if (onThisMachine) {
    std::array<bool, 2> installed{};
    std::array<MapHash, 2> hashes{};
    HashInstalledMaps(installed, hashes, check.unreadable);
    for (int i = 0; i < 2; ++i) {
      check.installed[i] = JudgeInstalledMap(i, installed[i] ? &hashes[i] : nullptr, !check.unreadable[i].empty(),
                                             &check.decision, olderDecisions, *kitMaps);
    }
  }
  check.exitStatus = ExitStatus(check, onThisMachine);
}

bool InstallsBothMaps(const KitDecision& decision) {
  return !decision.folder.empty() && (*decision.maps)[0].inKit && (*decision.maps)[1].inKit;
}
