// The outputs of a fleet, each written to standard output as the machines
// come, in their order, with what needs the whole fleet (the summary, the
// groups, the exit status) written after them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "check/kit_findings.h"
#include "fleet/fleet_judge.h"

class FleetWriter {
 public:
  virtual ~FleetWriter() = default;
  // One machine, with its judgement.
  virtual void Row(const FleetMachine& machine, const Judgement& judgement) = 0;
  // What follows the last machine.
  virtual void End(const FleetJudge& judge, int status) = 0;

 protected:
  // Writes `out_` to standard output once it holds `atLeast` bytes.
  void Emit(size_t atLeast = 1 << 20);
  std::string out_;
};

// name,bios_version,platform_name,token,table,key,folder: a header, then one
// row per machine.
std::unique_ptr<FleetWriter> MakeCsvWriter();

// The kit's findings, a row per machine in aligned columns, the summary and
// the exit status.
std::unique_ptr<FleetWriter> MakeTextWriter(const std::vector<KitFinding>& findings);

// One object: {"machines", "summary", "findings", "exit_status"}.
std::unique_ptr<FleetWriter> MakeJsonWriter(const KitSnapshot& kit, const std::vector<KitFinding>& findings);

// One self-contained HTML page whose size is bounded whatever the number of
// machines (fleet_page.cc).
std::unique_ptr<FleetWriter> MakePageWriter(const std::vector<KitFinding>& findings);

// The rows of the text output and the page: name, BIOS version, platform
// name, token, table, key and folder (UTF-8; all but the name empty for a
// machine that could not be read).
std::vector<std::string> FleetCells(const FleetMachine& machine, const Judgement& judgement);
