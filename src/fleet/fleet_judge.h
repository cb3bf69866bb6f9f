// A fleet's machines judged by a kit: each distinct pair of BIOS version
// token and platform name is decided once, by the installer's own selection
// over the kit read once, and the machines are kept as counts, so that the
// memory follows the distinct pairs and never the number of machines.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "check/kit_snapshot.h"
#include "fleet/fleet_sources.h"

enum class Outcome { kFolder, kNoMatch, kUndecided, kUnreadable };

// What the kit decides for the machines of some pairs, but for their token:
// the entry that matched, the folder and its maps. A kit gives few.
struct KitMatch {
  KitDecision decision;  // without a token
  std::string csvCells;  // ",table,key,folder", as CSV
  std::array<Outcome, 2> outcomes;  // for a machine whose platform name is known, or not
  bool bothMaps;  // the installer installs both maps
};

// The decision for one token and platform name, with its machines, counted
// by kind: without a type 130 structure, with one, or from an export without
// platform names. It holds what every machine of the pair reads, in one
// cache line: a fleet may hold too many pairs for the cache.
struct alignas(64) PairDecision {
  const KitMatch* match;
  std::array<uint32_t, 3> machines;  // the low half of each count
  uint16_t keyLength;
  uint16_t tokenLength;
  // The key: what the selection reads, the token, a zero byte and the
  // platform name; here when it fits, else in longKey.
  char keyInPlace[32];
  const std::string* longKey;
};

// The key of `pair`, its token as the selection read it (UTF-8; empty
// without one), and its whole decision.
std::string_view PairKey(const PairDecision& pair);
std::string_view PairToken(const PairDecision& pair);
KitDecision DecisionOf(const PairDecision& pair);

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
  uint64_t machines;
  const std::vector<std::string>* names;  // the first few
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
  // The number of the pair of `token` and `platformText`, as the selection
  // reads them of `machine` and its `platform`, decided when it is new.
  size_t FindPair(const FleetMachine& machine, std::string_view token, std::string_view platformText,
                  std::string_view platform);

  KitSnapshot& kit_;
  bool keepNames_;
  // The machines of pair `number` of `kind`.
  uint64_t Machines(size_t number, size_t kind) const;

  // The kit's match of `machine` with `platform`.
  const KitMatch& Match(const FleetMachine& machine, std::string_view platform);

  // The pairs in the order they came, and a table of open addressing over
  // them, at most half full: each slot holds the high half of a key's hash
  // and its pair's number plus one (0: empty). Where a fleet has hundreds
  // of thousands of pairs, what a machine reads must stay small to stay in
  // the cache.
  std::vector<PairDecision> pairs_;
  std::vector<uint64_t> slots_ = std::vector<uint64_t>(1024);
  std::deque<std::string> longKeys_;
  std::map<std::tuple<int, uint32_t, bool, std::wstring>, KitMatch> matches_;
  // By pair: the first few names of each kind that get no folder, when
  // names are kept; and the high half of the counts that passed 2^32.
  std::deque<std::array<std::vector<std::string>, 3>> names_;
  std::map<size_t, uint64_t> carries_;
  std::string heldToken_;  // reused from machine to machine
  std::string heldPlatform_;
  uint64_t unreadable_ = 0;
  bool allGetBothMaps_ = true;
};

// The outcome of `decision` of `kit` for a machine whose platform name is
// known or not.
Outcome OutcomeOf(const KitSnapshot& kit, const KitDecision& decision, bool platformKnown);

// Appends `text` to `out` as one CSV field: quoted, with its quotes doubled,
// when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& out, std::string_view text);
