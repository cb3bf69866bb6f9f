// What a kit, and the kits it replaces, decide for a fleet's machines, but
// for their token: the entry that matched, the folder, its maps, and the
// change from the kit it replaces. However many pairs a fleet has, its kits
// give few of these, each decided by the installer's own selection.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "check/installed_maps.h"
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

// What the kit and the baseline kits decide.
struct PairVerdict {
  const KitMatch* match;     // the kit's
  const KitMatch* baseline;  // the first baseline kit's; null without one
  KitChange change;          // from the first baseline kit to the kit, with one
  std::vector<const KitMatch*> releases;  // the kit's, then each baseline kit's, as given
  // Each baseline kit's decision, null where it leaves the machine
  // undecided: for a machine whose platform name is known, or not.
  std::array<std::vector<ReleaseDecision>, 2> baselineDecisions;
};

class KitVerdicts {
 public:
  // The verdicts of `kit` and of each of `baselines`, newest first.
  KitVerdicts(KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines)
      : kit_(kit), baselines_(baselines), matches_(baselines.size() + 1) {}

  // The verdict for a machine whose BIOS version and platform name are
  // these texts, as the capture buffers hold them.
  const PairVerdict& Decide(const wchar_t* biosVersion, const wchar_t* platformName);

  const KitSnapshot& kit() const { return kit_; }
  // The first baseline kit, the one the plan compares with; null without one.
  const KitSnapshot* baseline() const { return baselines_.empty() ? nullptr : baselines_[0]; }
  const std::vector<KitSnapshot*>& baselines() const { return baselines_; }

 private:
  using Matches = std::map<std::tuple<int, uint32_t, bool, std::wstring>, KitMatch>;

  static const KitMatch& Match(KitSnapshot& kit, Matches& matches, const wchar_t* biosVersion,
                               const wchar_t* platformName);

  KitSnapshot& kit_;
  std::vector<KitSnapshot*> baselines_;
  std::vector<Matches> matches_;  // the kit's, then each baseline kit's
  std::map<std::vector<const KitMatch*>, PairVerdict> verdicts_;
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
