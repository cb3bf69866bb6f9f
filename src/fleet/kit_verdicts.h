// What a kit, and the kit it replaces, decide for a fleet's machines, but
// for their token: the entry that matched, the folder, its maps, and the
// change between the two kits. However many pairs a fleet has, its kits
// give few of these, each decided by the installer's own selection.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "check/kit_change.h"
#include "check/kit_snapshot.h"
#include "fleet/fleet_sources.h"

enum class Outcome { kFolder, kNoMatch, kUndecided, kUnreadable };

// What one kit decides.
struct KitMatch {
  KitDecision decision;  // without a token
  std::string csvCells;  // ",table,key,folder", as CSV
  std::string csvFolder;  // the folder, as a CSV field
  std::array<Outcome, 2> outcomes;  // for a machine whose platform name is known, or not
  bool bothMaps;  // the installer installs both maps
};

// What the kit and the baseline kit decide.
struct PairVerdict {
  const KitMatch* match;     // the kit's
  const KitMatch* baseline;  // the baseline kit's; null without one
  KitChange change;          // from the baseline to the kit, with one
};

class KitVerdicts {
 public:
  // The verdicts of `kit`, and of `baseline` unless it is null.
  KitVerdicts(KitSnapshot& kit, KitSnapshot* baseline) : kit_(kit), baseline_(baseline) {}

  // The verdict for a machine whose BIOS version and platform name are
  // these texts, as the capture buffers hold them.
  const PairVerdict& Decide(const wchar_t* biosVersion, const wchar_t* platformName);

  const KitSnapshot& kit() const { return kit_; }
  const KitSnapshot* baseline() const { return baseline_; }

 private:
  using Matches = std::map<std::tuple<int, uint32_t, bool, std::wstring>, KitMatch>;

  static const KitMatch& Match(KitSnapshot& kit, Matches& matches, const wchar_t* biosVersion,
                               const wchar_t* platformName);

  KitSnapshot& kit_;
  KitSnapshot* baseline_;
  Matches matches_;
  Matches baselineMatches_;
  std::map<std::pair<const KitMatch*, const KitMatch*>, PairVerdict> verdicts_;
};

// The outcome of `decision` of `kit` for a machine whose platform name is
// known or not.
Outcome OutcomeOf(const KitSnapshot& kit, const KitDecision& decision, bool platformKnown);

// The outcome of `match` for a machine of `kind`.
inline Outcome OutcomeFor(const KitMatch& match, MachineKind kind) {
  return match.outcomes[kind == MachineKind::kPlatformUnknown ? 1 : 0];
}

// Appends `text` to `out` as one CSV field: quoted, with its quotes doubled,
// when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& out, std::string_view text);
