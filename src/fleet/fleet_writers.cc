#include "fleet/fleet_writers.h"

#include <algorithm>

#include "check/check_options.h"
#include "check/kit_seal.h"
#include "check/utc_time.h"
#include "common/utf8.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"

const char* const kChangeWords[5] = {"unchanged", "added", "removed", "changed", "undecided"};

void FleetWriter::Emit(size_t atLeast) {
  if (out_.size() < atLeast) return;
  Write(out_.data(), out_.size());
  out_.clear();
}

void FleetWriter::Write(const char* text, size_t size) {
  // After a failed write the output is cut: nothing more is written.
  if (!failed_) failed_ = !platform::WriteStandardOutput(text, size);
}

std::vector<std::string> FleetCells(const FleetMachine& machine, const Judgement& judgement, bool withBaseline) {
  std::vector<std::string> cells(withBaseline ? 11 : 9);
  cells[0] = machine.name;
  if (judgement.pair == nullptr) return cells;
  const PairVerdict& verdict = *judgement.pair->verdict;
  const KitDecision& decision = verdict.match->decision;
  bool undecided = judgement.outcome == Outcome::kUndecided;
  bool matched = decision.matchKey != 0 && !undecided;
  cells[1] = machine.biosVersion;
  cells[2] = machine.kind == MachineKind::kPlatformStructure ? std::string(machine.platformName) : "";
  cells[3] = PairToken(*judgement.pair);
  cells[4] = matched ? Utf8FromWide(PlatformTableSection(decision.matchTableType)) : "";
  cells[5] = matched ? std::to_string(decision.matchKey) : "";
  cells[6] = undecided ? "undecided" : Utf8FromWide(decision.folder.c_str());
  if (withBaseline) {
    cells[7] = judgement.baselineOutcome == Outcome::kUndecided
                   ? "undecided"
                   : Utf8FromWide(verdict.baseline->decision.folder.c_str());
    cells[8] = ChangeWord(judgement);
  }
  for (int i = 0; i < 2; ++i) {
    const char* state = InstalledStateName(judgement.installed[i].state);
    cells[cells.size() - 2 + i] = state != nullptr ? state : "";
  }
  return cells;
}

std::vector<std::string> InstalledLines(const FleetSummary& summary) {
  std::vector<std::string> lines;
  if (summary.reportingInstalled == 0) return lines;
  for (int i = 0; i < 2; ++i) {
    std::string line = Utf8FromWide(kThermalMapFiles[i].name) + ":";
    for (size_t state = 1; state < kInstalledStates; ++state) {
      line += std::string(state == 1 ? " " : ", ") + std::to_string(summary.installed[i][state]) + " " +
              InstalledStateName(static_cast<InstalledState>(state));
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::pair<MachineMove, uint64_t>> LargestMoves(const FleetSummary& summary) {
  std::vector<std::pair<MachineMove, uint64_t>> moves(summary.moves.begin(), summary.moves.end());
  std::stable_sort(moves.begin(), moves.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return moves;
}

std::string RollCallHead(const FleetJudge& judge) {
  return std::string("Checked by ") + platform::kCheckerName + " " + CheckerVersion() + " at " +
         UtcTimeText(judge.rollCall().runTime()) + "\n";
}

std::string RollCallLine(const RollCallSummary& roll) {
  auto group = [](uint64_t count, const char* what, const std::vector<std::string>& names) {
    std::string text = ", " + std::to_string(count) + " " + what;
    for (size_t i = 0; i < names.size(); ++i) text += (i == 0 ? " (" : ", ") + names[i];
    if (!names.empty()) text += count > names.size() ? ", ...)" : ")";
    return text;
  };
  std::string line = "Roll call: ";
  if (roll.expecting) line += std::to_string(roll.expected) + " expected, ";
  line += std::to_string(roll.reported) + " reported";
  if (roll.expecting) {
    line += group(roll.missing, "missing", roll.missingNames);
    line += group(roll.unexpected, "unexpected", roll.unexpectedNames);
  }
  line += group(roll.repeated, "repeated", roll.repeatedNames);
  if (roll.superseded > 0) {
    line += ", " + std::to_string(roll.superseded) + (roll.superseded == 1 ? " row superseded" : " rows superseded");
  }
  if (roll.maxAgeGiven) line += group(roll.stale, "stale", roll.staleNames);
  if (roll.withoutWritten > 0) line += ", " + std::to_string(roll.withoutWritten) + " without written";
  if (roll.changed > 0) {
    line += ", " + std::to_string(roll.changed) + (roll.changed == 1 ? " row" : " rows") + " changed while read";
  }
  return line;
}

std::string ReleasesLine(const FleetJudge& judge, const FleetSummary& summary) {
  std::string line = "Releases of the " + std::to_string(summary.reportingInstalled) + " machines that report their maps:";
  const char* separator = " ";
  for (size_t release = 0; release < summary.releases.size(); ++release) {
    // Every release is named, a word only where it holds machines.
    const KitSnapshot* kit = judge.ReleaseKit(release);
    if (kit == nullptr && summary.releases[release] == 0) continue;
    line += separator + std::to_string(summary.releases[release]) + " " +
            (kit != nullptr ? "release " + ReleaseText(*kit) : judge.ReleaseName(release));
    separator = ", ";
  }
  return line;
}
