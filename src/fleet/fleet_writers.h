// The outputs of a fleet, each written to standard output as the machines
// come, in their order, with what needs the whole fleet (the summary, the
// groups, the changes from a baseline kit, the exit status) written after
// them: csv_writer.cc, text_writer.cc, json_writer.cc and fleet_page.cc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/kit_findings.h"
#include "fleet/fleet_judge.h"

class FleetWriter {
 public:
  virtual ~FleetWriter() = default;
  // One machine, with its judgement.
  virtual void Row(const FleetMachine& machine, const Judgement& judgement) = 0;
  // A machine expected that gave no row.
  virtual void Missing(std::string_view name) = 0;
  // What follows the last machine.
  virtual void End(const FleetJudge& judge, int status) = 0;

  // Whether a write to standard output failed: the output is not whole.
  bool Failed() const { return failed_; }

 protected:
  // Writes `out_` to standard output once it holds `atLeast` bytes.
  void Emit(size_t atLeast = 1 << 20);
  // Writes `size` bytes at `text` to standard output.
  void Write(const char* text, size_t size);
  std::string out_;

 private:
  bool failed_ = false;
};

// name,bios_version,platform_name,token,table,key,folder (and, with a
// baseline kit, baseline_folder,change), then ac_installed,dc_installed,
// ac_sha256,dc_sha256, release, written and error: a header (unless
// `header` is false), then one row per machine, and one per machine
// expected that gave none.
std::unique_ptr<FleetWriter> MakeCsvWriter(const FleetJudge& judge, bool header);

// The kit's findings, a row per machine in aligned columns, the summary (and
// the changes from a baseline kit) and the exit status.
std::unique_ptr<FleetWriter> MakeTextWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings);

// One object: {"machines", "summary", "findings", "exit_status"}.
std::unique_ptr<FleetWriter> MakeJsonWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings);

// One self-contained HTML page whose size is bounded whatever the number of
// machines.
std::unique_ptr<FleetWriter> MakePageWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings);

// The cells of the text output's and the page's rows: name, BIOS version,
// platform name, token, table, key and folder, with a baseline kit its
// folder and the change, then the installed AC and DC maps' states (UTF-8;
// all but the name empty for a machine that could not be read).
std::vector<std::string> FleetCells(const FleetMachine& machine, const Judgement& judgement, bool withBaseline);

// What was found of the maps of `summary`'s machines, one line a map:
// "ThermalMap_AC.ini: 140 in place, 10 baseline, ..."; none when no
// machine reports them.
std::vector<std::string> InstalledLines(const FleetSummary& summary);

// The change words in the order the summaries give them.
extern const char* const kChangeWords[5];

// The moves of `summary`, the largest first.
std::vector<std::pair<MachineMove, uint64_t>> LargestMoves(const FleetSummary& summary);

// "Checked by thermalmapcheck 1.0.0 at 2026-12-10T02:31:00Z", and a line
// break: the head of a summary an auditor signs.
std::string RollCallHead(const FleetJudge& judge);

// "Roll call: 4 machines reported, ..." with what the run was asked to
// call (--expect, --max-age) and the first few names of each group (UTF-8).
std::string RollCallLine(const RollCallSummary& roll);

// The machines of each release, on one line: "Releases of the 5 machines
// that report their maps: 3 release 1.1, 1 release 1.0, 1 other".
std::string ReleasesLine(const FleetJudge& judge, const FleetSummary& summary);
