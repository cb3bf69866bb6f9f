#include "fleet/kit_verdicts.h"

#include "check/machine_check.h"
#include "common/utf8.h"
#include "install/platform_table.h"

namespace {

// The CSV cells of a decision: table, key and folder.
std::string MatchCells(const KitDecision& decision) {
  std::string cells = ",";
  if (decision.matchKey != 0) cells += Utf8FromWide(PlatformTableSection(decision.matchTableType));
  cells += ',';
  if (decision.matchKey != 0) cells += std::to_string(decision.matchKey);
  cells += ',';
  AppendCsvField(cells, Utf8FromWide(decision.folder.c_str()));
  return cells;
}

}  // namespace

const PairVerdict& KitVerdicts::Decide(const wchar_t* biosVersion, const wchar_t* platformName) {
  std::vector<const KitMatch*> releases{&Match(kit_, matches_[0], biosVersion, platformName)};
  for (size_t i = 0; i < baselines_.size(); ++i) {
    releases.push_back(&Match(*baselines_[i], matches_[i + 1], biosVersion, platformName));
  }
  auto [known, added] = verdicts_.try_emplace(releases);
  if (added) {
    const KitMatch* before = releases.size() > 1 ? releases[1] : nullptr;
    PairVerdict& verdict = known->second;
    verdict = {releases[0], before,
               before != nullptr ? ChangeBetween(before->decision, releases[0]->decision) : KitChange::kUnchanged,
               releases, {}};
    for (size_t kind = 0; kind < 2; ++kind) {
      for (size_t i = 1; i < releases.size(); ++i) {
        bool undecided = releases[i]->outcomes[kind] == Outcome::kUndecided;
        verdict.baselineDecisions[kind].push_back({baselines_[i - 1], undecided ? nullptr : &releases[i]->decision});
      }
    }
  }
  return known->second;
}

const KitMatch& KitVerdicts::Match(KitSnapshot& kit, Matches& matches, const wchar_t* biosVersion,
                                   const wchar_t* platformName) {
  KitDecision decision = DecideWithKit(kit, biosVersion, platformName);
  decision.token.clear();
  decision.hasToken = false;
  auto [known, added] = matches.try_emplace(
      std::make_tuple(decision.matchTableType, decision.matchKey, decision.folderTooLong, decision.folder));
  KitMatch& match = known->second;
  if (added) {
    match.decision = decision;
    match.csvCells = MatchCells(decision);
    AppendCsvField(match.csvFolder, Utf8FromWide(decision.folder.c_str()));
    match.outcomes = {OutcomeOf(kit, decision, true), OutcomeOf(kit, decision, false)};
    match.bothMaps = InstallsBothMaps(decision);
  }
  return match;
}

Outcome OutcomeOf(const KitSnapshot& kit, const KitDecision& decision, bool platformKnown) {
  // Without the platform name only a type 0 match decides, or a kit whose
  // tag fails, which installs nothing for any machine.
  bool typeZeroMatch = decision.matchKey != 0 && decision.matchTableType == 0;
  if (!platformKnown && kit.tagOk && !typeZeroMatch) return Outcome::kUndecided;
  return decision.folder.empty() ? Outcome::kNoMatch : Outcome::kFolder;
}

void AppendCsvField(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
}
