#include "fleet/run_fleet.h"

#include <cstdio>
#include <memory>

#include "check/complaint.h"
#include "check/json_text.h"
#include "check/kit_findings.h"
#include "check/kit_seal.h"
#include "check/machine_check.h"
#include "check/utc_time.h"
#include "common/utf8.h"
#include "common/wide_text.h"
#include "platform/platform.h"
#include "fleet/fleet_judge.h"
#include "fleet/fleet_sources.h"
#include "fleet/fleet_writers.h"

namespace {

struct FleetRun {
  RollCall* rollCall;
  FleetJudge* judge;
  FleetWriter* writer;
};

// Whether `machine` is a machine's row for the roll call: one that could be
// read, or the checker's own row of a machine it could not read.
bool RowOfAMachine(const FleetMachine& machine) {
  return (machine.error.empty() || machine.ownRow) && !machine.superseded;
}

// The first reading: each machine's row counted by its name.
void CountMachine(const FleetMachine& machine, void* context) {
  if (RowOfAMachine(machine)) static_cast<RollCall*>(context)->Count(machine);
}

void TakeMachine(const FleetMachine& machine, void* context) {
  auto* run = static_cast<FleetRun*>(context);
  if (machine.passedOver) {
    run->judge->PassOver();
    Complain(ConsoleText(WideFromUtf8(machine.name).c_str()) + ": " + ConsoleText(WideFromUtf8(machine.error).c_str()));
    return;
  }
  // A row of a machine that has a later one is written, but not judged.
  Judgement superseded{nullptr, Outcome::kUnreadable, Outcome::kUnreadable, kUncheckedMaps};
  superseded.superseded = true;
  if (machine.superseded) {
    run->rollCall->TakeSuperseded();
    return run->writer->Row(machine, superseded);
  }
  if (RowOfAMachine(machine)) {
    const std::string& why = run->rollCall->Take(machine);
    if (!why.empty()) {
      FleetMachine row = machine;
      row.error = why;
      return run->writer->Row(row, superseded);
    }
  }
  Judgement judgement = run->judge->Judge(machine);
  if (!machine.error.empty()) {
    Complain(ConsoleText(WideFromUtf8(machine.name).c_str()) + ": " + ConsoleText(WideFromUtf8(machine.error).c_str()));
  }
  run->writer->Row(machine, judgement);
}

// Without firmware files the fleet is this machine, named as `hostname`
// names it, so that each machine of a fleet can write its own row; where
// the installer installs, with its installed maps; its row written at
// `runTime`.
void TakeThisMachine(FleetRun& run, int64_t runTime) {
  MachineCheck report;
  uint32_t size = 0;
  const std::wstring firmware = L"this machine";
  bool read = ReportThisMachine(report, size) != nullptr;
  std::string biosVersion = Utf8FromWide(report.biosVersion.c_str());
  std::string platformName = Utf8FromWide(report.platformName.c_str());
  wchar_t computer[256] = {};
  std::string name = platform::GetComputerNameExW(computer, ArraySize(computer)) > 0 ? Utf8FromWide(computer)
                                                                                     : "this machine";
  FleetMachine machine{};
  machine.name = name;
  std::string problem = std::string("its SMBIOS table cannot be read: ") + platform::FirmwareTableProblem();
  if (!read) machine.error = problem;
  machine.firmware = &firmware;
  machine.format = "RawSMBIOSData block";
  machine.biosVersion = biosVersion;
  machine.platformName = platformName;
  machine.kind = FirmwareMachineKind(report.hasPlatform);
  machine.reportsInstalled = platform::HoldsInstalledMaps();
  std::array<std::string, 2> unreadable;
  if (machine.reportsInstalled) HashInstalledMaps(machine.installed, machine.installedHash, unreadable);
  machine.unreadable = &unreadable;
  std::string written = UtcTimeText(runTime);
  machine.written = written;
  CountMachine(machine, run.rollCall);
  TakeMachine(machine, &run);
}

std::unique_ptr<FleetWriter> MakeWriter(const CheckOptions& options, const FleetJudge& judge,
                                        const std::vector<KitFinding>& findings) {
  switch (options.format) {
    case OutputFormat::kCsv: return MakeCsvWriter(judge, options.csvHeader);
    case OutputFormat::kJson: return MakeJsonWriter(judge, findings);
    case OutputFormat::kHtml: return MakePageWriter(judge, findings);
    case OutputFormat::kText: break;
  }
  return MakeTextWriter(judge, findings);
}

}  // namespace

InventoryColumns ColumnsOf(const CheckOptions& options) {
  return {options.biosVersionColumn, options.platformNameColumn, options.acSha256Column, options.dcSha256Column};
}

int RunFleet(const CheckOptions& options, KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines) {
  RollCall rollCall(platform::GetSystemTimeSeconds(), options.maxAgeDays);
  if (!options.expect.empty()) {
    std::string problem = rollCall.Expect(options.expect);
    if (!problem.empty()) {
      Complain("--expect " + ConsoleText(options.expect.c_str()) + ": " + problem);
      return 3;
    }
  }
  std::vector<KitFinding> findings = KitFindings(kit, baselines);
  FleetJudge judge(kit, baselines, rollCall, options.format == OutputFormat::kHtml);
  std::unique_ptr<FleetWriter> writer = MakeWriter(options, judge, findings);
  FleetRun run{&rollCall, &judge, writer.get()};
  if (options.firmware.empty()) {
    TakeThisMachine(run, rollCall.runTime());
  } else {
    FleetPass pass;
    pass.counting = true;
    pass.everyMachine = rollCall.Expecting();
    ReadFleet(options.firmware, ColumnsOf(options), CountMachine, &rollCall, pass);
    if (pass.keepFailed) {
      Complain("standard input, or a pipe, could not be kept in a temporary file for its second reading: " +
               platform::LastErrorText());
      return 3;
    }
    pass.counting = false;
    ReadFleet(options.firmware, ColumnsOf(options), TakeMachine, &run, pass);
  }
  rollCall.Finish();
  for (const std::string& name : rollCall.Missing()) writer->Missing(name);
  RollCallSummary roll = rollCall.Summary();
  if (roll.unexpected > 0) {
    std::string names;
    for (const std::string& name : roll.unexpectedNames) names += (names.empty() ? "" : ", ") + name;
    Complain(std::to_string(roll.unexpected) + (roll.unexpected == 1 ? " machine" : " machines") +
             " reported that --expect does not list, such as " +
             ConsoleText(WideFromUtf8(names).c_str()));
  }
  if (roll.changed > 0) {
    Complain(std::to_string(roll.changed) + (roll.changed == 1 ? " row" : " rows") +
             " changed between the two readings of the inputs (written to while they were read): "
             "the answer is not whole; check again once nothing writes to them");
  }
  FleetSummary summary = judge.Summary();
  bool anyRead = summary.machines > summary.unreadable || roll.missing > 0;
  // An entry passed over was not judged, a machine missing or stale not
  // answered for, so the answer is not whole.
  bool whole = summary.allGetBothMaps && summary.allInPlace && summary.passedOver == 0 && !rollCall.Partial();
  int status = !anyRead ? 3 : HoldsErrors(findings) ? 2 : whole ? 0 : 1;
  writer->End(judge, status);
  if (writer->Failed()) {
    Complain("standard output could not be written whole (a full disk, or a pipe closed)");
    return 3;
  }
  return status;
}
