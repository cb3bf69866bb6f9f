// A fleet's machines judged by a kit: each distinct pair of BIOS version
// token and platform name is decided once, by the installer's own selection
// over the kit read once, and the machines are kept as counts, so that the
// memory follows the distinct pairs and never the number of machines.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/kit_snapshot.h"
#include "fleet/fleet_sources.h"

enum class Outcome { kFolder, kNoMatch, kUndecided, kUnreadable };

// The machines of a pair of one kind: without a type 130 structure, with
// one, or from an export without platform names.
struct MachineCount {
  uint64_t machines = 0;
  std::vector<std::string> names;  // the first few, where they get no folder and names are kept
};

// The decision for one token and platform name, with its machines.
struct PairDecision {
  KitDecision decision;
  std::string csvToken;  // ",token" as CSV
  std::string csvMatch;  // ",table,key,folder" as CSV
  std::array<MachineCount, 3> kinds;
};

// A machine's judgement: its pair (null when it could not be read) and
// what it gets.
struct Judgement {
  const PairDecision* pair;
  Outcome outcome;
};

// Machines that get no folder, grouped by token and platform name.
struct MachineGroup {
  std::wstring token;     // empty without one
  bool hasToken;
  std::wstring platform;  // empty without one
  bool hasPlatform;
  const MachineCount* count;
};

struct FleetSummary {
  uint64_t machines = 0;
  std::map<std::wstring, uint64_t> perFolder;
  uint64_t noMatch = 0;
  uint64_t undecided = 0;
  uint64_t unreadable = 0;
  bool allGetBothMaps = true;  // every machine gets a folder with both maps
};

class FleetJudge {
 public:
  // With `keepNames`, the groups of machines that get no folder keep the
  // first few names, for the page.
  FleetJudge(KitSnapshot& kit, bool keepNames) : kit_(kit), keepNames_(keepNames) {}

  // Judges `machine`, deciding its pair when it is new.
  Judgement Judge(const FleetMachine& machine);

  // The counts of the machines judged so far.
  FleetSummary Summary() const;

  // The groups of machines judged so far with this outcome (kNoMatch or
  // kUndecided), largest first.
  std::vector<MachineGroup> Groups(Outcome outcome) const;

  const KitSnapshot& kit() const { return kit_; }

 private:
  KitSnapshot& kit_;
  bool keepNames_;
  std::unordered_map<std::string, std::unique_ptr<PairDecision>> pairs_;
  std::string key_;  // reused from machine to machine
  uint64_t unreadable_ = 0;
  bool allGetBothMaps_ = true;
};

// The outcome of `decision` of `kit` for a machine whose platform name is
// known or not.
Outcome OutcomeOf(const KitSnapshot& kit, const KitDecision& decision, bool platformKnown);

// Appends `text` to `out` as one CSV field: quoted, with its quotes doubled,
// when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& out, std::string_view text);
