// A fleet's machines judged by a kit, and by the kit it replaces when there
// is one. Each distinct pair of BIOS version token and platform name is
// decided once, by the installer's own selection over the kits read once
// (kit_verdicts.h), and kept in a table of pairs (pair_table.h) with its
// machines as counts, so that the memory follows the distinct pairs and
// never the number of machines. A machine costs the lookup of its pair: its
// texts are read as the selection reads them (pair_key.h), hashed, and
// found in one or two slots and one cache line (pair_table.h tells why).
// So 10,000,000 export rows of 2,000 pairs are judged in 0.21 times the
// time mawk takes to join them with the kit's entries, and 1,000,000 rows
// of 100,000 pairs in 0.91 times, in 12 MB (docs/performance.md).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "check/installed_maps.h"
#include "check/kit_snapshot.h"
#include "fleet/fleet_sources.h"
#include "fleet/kit_verdicts.h"
#include "fleet/pair_table.h"
#include "fleet/roll_call.h"

// The whole decision of the kit, or of the baseline kit, for `pair`, with
// its token.
KitDecision DecisionOf(const PairDecision& pair, bool baseline);

// Which release a machine has, by its installed maps: the number of the
// first release (0 the kit, then each baseline kit as given) whose choice
// for it is exactly its two maps; else, after the releases' numbers, one of
// these words: each map is some release's choice, but not the same
// release's; a map no release gives it, or none where one gives one;
// neither map there; a map that cannot be read.
constexpr const char* kReleaseWords[] = {"mixed", "other", "not installed", "unreadable"};
constexpr size_t kReleaseWordCount = 4;
constexpr size_t kNoRelease = SIZE_MAX;  // the machine reports no maps

// A machine's judgement: its pair (null when it could not be read; valid
// until the next machine is judged, which may add a pair) and what it gets
// from the kit, and from the baseline kit when there is one.
struct Judgement {
  const PairDecision* pair;
  Outcome outcome;
  Outcome baselineOutcome;
  std::array<InstalledMap, 2> installed;  // kNotChecked unless the machine reports them
  size_t release = kNoRelease;
  bool superseded = false;  // a row of a machine that has a later one: its error says which
};

// A judged machine's change from the baseline kit: as ChangeName says it,
// or "undecided" when either kit's outcome is.
const char* ChangeWord(const Judgement& judgement);

// Machines that get no folder, grouped by token and platform name.
struct MachineGroup {
  std::wstring token;     // empty without one
  bool hasToken;
  std::wstring platform;  // empty without one
  bool hasPlatform;
  uint64_t machines;
  const std::vector<std::string>* names;  // the first few
};

// Machines whose folder, or whose maps, the kit changes from the baseline.
// Folders are named as in their kit's entries, so that a folder that both
// kits list is the same folder.
struct MachineMove {
  std::wstring from;  // the baseline kit's folder; empty without one
  std::wstring to;    // the kit's folder; empty without one
  std::string change;
  bool operator<(const MachineMove& other) const {
    return std::tie(from, to, change) < std::tie(other.from, other.to, other.change);
  }
};

// Machines whose maps are not both in place, grouped by the folder the kit
// gives them and what was found of each map.
struct InstalledGroup {
  std::wstring folder;  // as the kit's entry names it; empty without one
  std::array<InstalledState, 2> states;
  std::array<const KitMapPlace*, 2> others;  // for kOtherMap
  uint64_t machines;
  const std::vector<std::string>* names;  // the first few
};

struct FleetSummary {
  uint64_t machines = 0;
  std::map<std::wstring, uint64_t> perFolder;
  uint64_t noMatch = 0;
  uint64_t undecided = 0;
  uint64_t unreadable = 0;
  uint64_t passedOver = 0;     // folder entries that are no files to read: no machines
  bool allGetBothMaps = true;  // every machine gets a folder with both maps
  // With a baseline kit: the machines of each change, and the moves.
  std::map<std::string, uint64_t> changes;
  std::map<MachineMove, uint64_t> moves;
  // The machines that report their installed maps, each map's states among
  // them, and whether each of them has both maps in place.
  uint64_t reportingInstalled = 0;
  std::array<std::array<uint64_t, kInstalledStates>, 2> installed{};
  bool allInPlace = true;
  // Of those, the machines of each release, then of each of kReleaseWords.
  std::vector<uint64_t> releases;
};

class FleetJudge {
 public:
  // The machines are judged by `kit`, and by each of `baselines`, newest
  // first. With `keepNames`, the groups of machines that get no folder, and
  // the moves, keep the first few names, for the page.
  // The writers find the run's `rollCall` through it.
  FleetJudge(KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines, RollCall& rollCall, bool keepNames)
      : verdicts_(kit, baselines), kit_(kit), rollCall_(rollCall), keepNames_(keepNames),
        releases_(baselines.size() + 1 + kReleaseWordCount) {}

  // Judges `machine`, deciding its pair when it is new.
  Judgement Judge(const FleetMachine& machine);

  // Counts a folder's entry that was passed over: it is no machine.
  void PassOver() { ++passedOver_; }

  // The counts of the machines judged so far.
  FleetSummary Summary() const;

  // The groups of machines judged so far with this outcome (kNoMatch or
  // kUndecided), largest first.
  std::vector<MachineGroup> Groups(Outcome outcome) const;

  // The first few names of a move's machines, where names are kept.
  const std::vector<std::string>& MoveNames(const MachineMove& move) const;

  // The groups of machines judged so far whose maps are not both in place,
  // largest first; kept with the names.
  std::vector<InstalledGroup> InstalledGroups() const;

  const KitSnapshot& kit() const { return verdicts_.kit(); }
  const KitSnapshot* baseline() const { return verdicts_.baseline(); }
  const std::vector<KitSnapshot*>& baselines() const { return verdicts_.baselines(); }
  const RollCall& rollCall() const { return rollCall_; }

  // The kit of release `release` (0 the kit, then the baseline kits), or
  // null for a word of kReleaseWords.
  const KitSnapshot* ReleaseKit(size_t release) const;

  // The label of release `release`, or its word; empty for kNoRelease.
  std::string ReleaseName(size_t release) const;

 private:
  // A group of InstalledGroups: the folder the kit gives, by its entry's
  // name (empty without one), and each map's state and other map.
  using InstalledKey = std::tuple<std::wstring, InstalledState, const KitMapPlace*, InstalledState,
                                  const KitMapPlace*>;
  struct InstalledCount {
    uint64_t machines = 0;
    std::vector<std::string> names;
  };

  // The number of the pair of `machine`, decided when it is new.
  size_t FindPair(const FleetMachine& machine);

  // Judges the installed maps that `machine` reports into `judgement`, and
  // counts them.
  void JudgeInstalled(const FleetMachine& machine, Judgement& judgement);

  // The machines of pair `number` of `kind`.
  uint64_t Machines(size_t number, MachineKind kind) const;

  KitVerdicts verdicts_;
  KitSnapshot& kit_;
  RollCall& rollCall_;
  std::unique_ptr<KitMapIndex> kitMaps_;  // once a machine reports its maps
  bool keepNames_;
  PairTable pairs_;
  // By pair: the first few names of each kind that get no folder, when
  // names are kept; and the high half of the counts that passed 2^32.
  std::deque<std::array<std::vector<std::string>, kMachineKinds>> names_;
  std::map<std::pair<size_t, MachineKind>, uint64_t> carries_;
  std::map<MachineMove, std::vector<std::string>> moveNames_;
  std::string heldToken_;  // reused from machine to machine
  std::string heldPlatformName_;
  uint64_t unreadable_ = 0;
  uint64_t passedOver_ = 0;
  bool allGetBothMaps_ = true;
  uint64_t reportingInstalled_ = 0;
  std::array<std::array<uint64_t, kInstalledStates>, 2> installed_{};
  bool allInPlace_ = true;
  std::map<InstalledKey, InstalledCount> installedGroups_;
  std::vector<uint64_t> releases_;
};
