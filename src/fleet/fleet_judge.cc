#include "fleet/fleet_judge.h"

#include <algorithm>
#include <tuple>

#include "check/installed_maps.h"
#include "common/utf8.h"
#include "common/wide_text.h"
#include "fleet/pair_key.h"
#include "inventory/bios_decoders.h"

namespace {

// Machine names kept for each group of machines that get no folder.
constexpr size_t kNamesPerGroup = 5;

// The move of a machine of `kind` under `verdict`: the folder by each
// kit's entry and the change; false when its folder and maps stay, or it is
// undecided.
bool MoveOf(const KitVerdicts& verdicts, const PairVerdict& verdict, MachineKind kind, MachineMove& move) {
  if (verdict.baseline == nullptr || OutcomeFor(*verdict.match, kind) == Outcome::kUndecided ||
      OutcomeFor(*verdict.baseline, kind) == Outcome::kUndecided) {
    return false;
  }
  move = {FolderInKit(verdict.baseline->decision.folder, *verdicts.baseline()),
          FolderInKit(verdict.match->decision.folder, verdicts.kit()), ChangeName(verdict.change)};
  return move.from != move.to || verdict.change != KitChange::kUnchanged;
}

// Whether `decision` (null: none known) installs as map `map` the bytes of
// hash `installed`, or nothing where `installed` is null.
bool Gives(const KitDecision* decision, int map, const MapHash* installed) {
  const MapHash* given = KitMap(decision, map);
  return installed == nullptr ? given == nullptr : given != nullptr && *given == *installed;
}

// The release (kReleaseWords after the releases) of a machine of `kind`
// under `verdict` that reports `machine`'s maps, judged as `maps`.
size_t ReleaseOf(const PairVerdict& verdict, MachineKind kind, const FleetMachine& machine,
                 const std::array<InstalledMap, 2>& maps) {
  size_t releases = verdict.releases.size();
  if (maps[0].state == InstalledState::kUnreadable || maps[1].state == InstalledState::kUnreadable) {
    return releases + 3;
  }
  if (!machine.installed[0] && !machine.installed[1]) return releases + 2;
  // A map that is neither the kit's nor any baseline kit's for this machine
  // is no release's.
  if (std::any_of(maps.begin(), maps.end(), [](const InstalledMap& map) {
        return map.state == InstalledState::kDiffers || map.state == InstalledState::kOtherMap;
      })) {
    return releases + 1;
  }
  // Both maps the kit's own, or both the same baseline kit's, which is then
  // the newest release to give either: the first release that gives both.
  if (maps[0].state == InstalledState::kInPlace && maps[1].state == InstalledState::kInPlace) return 0;
  if (maps[0].state == InstalledState::kBaseline && maps[1].state == InstalledState::kBaseline &&
      maps[0].baselineKit == maps[1].baselineKit) {
    for (size_t release = 1; release < releases; ++release) {
      if (verdict.baselineDecisions[0][release - 1].kit == maps[0].baselineKit) return release;
    }
  }
  std::array<bool, 2> someGives{};
  for (size_t release = 0; release < releases; ++release) {
    const KitMatch& match = *verdict.releases[release];
    // An undecided machine has no folder that is known in this release.
    const KitDecision* decision = OutcomeFor(match, kind) != Outcome::kUndecided ? &match.decision : nullptr;
    bool both = true;
    for (int i = 0; i < 2; ++i) {
      bool gives = Gives(decision, i, machine.installed[i] ? &machine.installedHash[i] : nullptr);
      someGives[i] = someGives[i] || gives;
      both = both && gives;
    }
    if (both) return release;
  }
  return someGives[0] && someGives[1] ? releases : releases + 1;
}

}  // namespace

KitDecision DecisionOf(const PairDecision& pair, bool baseline) {
  KitDecision decision = (baseline ? pair.verdict->baseline : pair.verdict->match)->decision;
  decision.token = WideFromUtf8(PairToken(pair));
  decision.hasToken = !decision.token.empty();
  return decision;
}

const char* ChangeWord(const Judgement& judgement) {
  if (judgement.outcome == Outcome::kUndecided || judgement.baselineOutcome == Outcome::kUndecided) {
    return "undecided";
  }
  return ChangeName(judgement.pair->verdict->change);
}

Judgement FleetJudge::Judge(const FleetMachine& machine) {
  if (!machine.error.empty()) {
    ++unreadable_;
    allGetBothMaps_ = false;
    return {nullptr, Outcome::kUnreadable, Outcome::kUnreadable, kUncheckedMaps};
  }
  size_t number = FindPair(machine);
  PairDecision& pair = pairs_[number];
  const PairVerdict& verdict = *pair.verdict;
  Outcome outcome = OutcomeFor(*verdict.match, machine.kind);
  Outcome baselineOutcome = verdict.baseline != nullptr ? OutcomeFor(*verdict.baseline, machine.kind) : outcome;
  auto kind = static_cast<size_t>(machine.kind);
  if (++pair.machines[kind] == 0) ++carries_[{number, machine.kind}];
  if (keepNames_) {
    if (outcome != Outcome::kFolder && names_[number][kind].size() < kNamesPerGroup) {
      names_[number][kind].emplace_back(machine.name);
    }
    MachineMove move;
    if (MoveOf(verdicts_, verdict, machine.kind, move) && moveNames_[move].size() < kNamesPerGroup) {
      moveNames_[move].emplace_back(machine.name);
    }
  }
  if (outcome != Outcome::kFolder || !verdict.match->bothMaps) allGetBothMaps_ = false;
  Judgement judgement{&pair, outcome, baselineOutcome, kUncheckedMaps};
  if (machine.reportsInstalled) JudgeInstalled(machine, judgement);
  return judgement;
}

void FleetJudge::JudgeInstalled(const FleetMachine& machine, Judgement& judgement) {
  if (kitMaps_ == nullptr) kitMaps_ = std::make_unique<KitMapIndex>(kit_, verdicts_.baselines());
  const PairVerdict& verdict = *judgement.pair->verdict;
  // An undecided machine has no folder that is known.
  const KitMatch* match = judgement.outcome != Outcome::kUndecided ? verdict.match : nullptr;
  const std::vector<ReleaseDecision>& baselineDecisions =
      verdict.baselineDecisions[machine.kind == MachineKind::kPlatformUnknown ? 1 : 0];
  for (int i = 0; i < 2; ++i) {
    judgement.installed[i] = JudgeInstalledMap(
        i, machine.installed[i] ? &machine.installedHash[i] : nullptr,
        machine.unreadable != nullptr && !(*machine.unreadable)[i].empty(),
        match != nullptr ? &match->decision : nullptr, baselineDecisions, *kitMaps_);
    ++installed_[i][static_cast<size_t>(judgement.installed[i].state)];
  }
  judgement.release = ReleaseOf(verdict, machine.kind, machine, judgement.installed);
  ++releases_[judgement.release];
  ++reportingInstalled_;
  const std::array<InstalledMap, 2>& maps = judgement.installed;
  if (maps[0].state == InstalledState::kInPlace && maps[1].state == InstalledState::kInPlace) return;
  allInPlace_ = false;
  if (!keepNames_) return;
  std::wstring folder = match != nullptr ? FolderInKit(match->decision.folder, kit_) : L"";
  InstalledCount& group = installedGroups_[{folder, maps[0].state, maps[0].other, maps[1].state, maps[1].other}];
  ++group.machines;
  if (group.names.size() < kNamesPerGroup) group.names.emplace_back(machine.name);
}

size_t FleetJudge::FindPair(const FleetMachine& machine) {
  // The platform name as the machine gives it; an export without platform
  // names reads as a machine without one.
  std::string_view givenPlatformName =
      machine.kind == MachineKind::kPlatformUnknown ? std::string_view() : machine.platformName;
  // The key is the token and the platform name as the selection reads them.
  bool added = false;
  size_t number = pairs_.FindOrAdd(SelectedToken(machine.biosVersion, heldToken_),
                                   SelectedPlatformName(givenPlatformName, heldPlatformName_), added);
  if (!added) return number;
  // A new pair is decided over the texts as the capture buffers hold them.
  wchar_t capturedVersion[ArraySize(BiosVersionText)];
  wchar_t capturedPlatformName[ArraySize(BiosPlatformText)];
  CopyUtf8AsWide(machine.biosVersion, capturedVersion, ArraySize(capturedVersion));
  CopyUtf8AsWide(givenPlatformName, capturedPlatformName, ArraySize(capturedPlatformName));
  pairs_[number].verdict = &verdicts_.Decide(capturedVersion, capturedPlatformName);
  if (keepNames_) names_.emplace_back();
  return number;
}

uint64_t FleetJudge::Machines(size_t number, MachineKind kind) const {
  auto carry = carries_.find({number, kind});
  return (carry != carries_.end() ? carry->second << 32 : 0) + pairs_[number].machines[static_cast<size_t>(kind)];
}

FleetSummary FleetJudge::Summary() const {
  FleetSummary summary;
  summary.reportingInstalled = reportingInstalled_;
  summary.installed = installed_;
  summary.allInPlace = allInPlace_;
  summary.releases = releases_;
  summary.unreadable = unreadable_;
  summary.passedOver = passedOver_;
  summary.machines = unreadable_;
  summary.allGetBothMaps = allGetBothMaps_;
  for (size_t number = 0; number < pairs_.size(); ++number) {
    const PairDecision& pair = pairs_[number];
    for (MachineKind kind : kAllMachineKinds) {
      uint64_t machines = Machines(number, kind);
      summary.machines += machines;
      const PairVerdict& verdict = *pair.verdict;
      if (verdict.baseline != nullptr && machines > 0) {
        Judgement judgement{&pair, OutcomeFor(*verdict.match, kind), OutcomeFor(*verdict.baseline, kind),
                            kUncheckedMaps};
        summary.changes[ChangeWord(judgement)] += machines;
        MachineMove move;
        if (MoveOf(verdicts_, verdict, kind, move)) summary.moves[move] += machines;
      }
      switch (OutcomeFor(*verdict.match, kind)) {
        case Outcome::kFolder: summary.perFolder[verdict.match->decision.folder] += machines; break;
        case Outcome::kNoMatch: summary.noMatch += machines; break;
        case Outcome::kUndecided: summary.undecided += machines; break;
        case Outcome::kUnreadable: break;
      }
    }
  }
  // A folder of no machine is no bar.
  for (auto at = summary.perFolder.begin(); at != summary.perFolder.end();) {
    at = at->second == 0 ? summary.perFolder.erase(at) : std::next(at);
  }
  return summary;
}

std::vector<MachineGroup> FleetJudge::Groups(Outcome outcome) const {
  std::vector<MachineGroup> groups;
  for (size_t number = 0; number < pairs_.size(); ++number) {
    const PairDecision& pair = pairs_[number];
    for (MachineKind kind : kAllMachineKinds) {
      uint64_t machines = Machines(number, kind);
      if (machines == 0 || OutcomeFor(*pair.verdict->match, kind) != outcome) continue;
      bool hasPlatform = kind == MachineKind::kPlatformStructure;
      std::wstring platform = hasPlatform ? WideFromUtf8(PairPlatformName(pair)) : L"";
      std::wstring token = WideFromUtf8(PairToken(pair));
      static const std::vector<std::string> kNoNames;
      groups.push_back({token, !token.empty(), platform, hasPlatform, machines,
                        keepNames_ ? &names_[number][static_cast<size_t>(kind)] : &kNoNames});
    }
  }
  std::sort(groups.begin(), groups.end(), [](const MachineGroup& a, const MachineGroup& b) {
    return std::make_tuple(b.machines, a.hasToken, a.token, a.hasPlatform, a.platform) <
           std::make_tuple(a.machines, b.hasToken, b.token, b.hasPlatform, b.platform);
  });
  return groups;
}

const std::vector<std::string>& FleetJudge::MoveNames(const MachineMove& move) const {
  static const std::vector<std::string> kNoNames;
  auto found = moveNames_.find(move);
  return found == moveNames_.end() ? kNoNames : found->second;
}

std::vector<InstalledGroup> FleetJudge::InstalledGroups() const {
  std::vector<InstalledGroup> groups;
  for (const auto& [key, count] : installedGroups_) {
    groups.push_back({std::get<0>(key),
                      {std::get<1>(key), std::get<3>(key)},
                      {std::get<2>(key), std::get<4>(key)},
                      count.machines,
                      &count.names});
  }
  // Ties go by what people read, not by where the kits lie in memory.
  auto order = [](const InstalledGroup& group) {
    auto other = [](const KitMapPlace* place) {
      return place == nullptr ? std::make_tuple(std::wstring(), std::wstring(), 0)
                              : std::make_tuple(place->kit->path, place->folder, place->map);
    };
    return std::make_tuple(UINT64_MAX - group.machines, group.folder, group.states, other(group.others[0]),
                           other(group.others[1]));
  };
  std::sort(groups.begin(), groups.end(),
            [&order](const InstalledGroup& a, const InstalledGroup& b) { return order(a) < order(b); });
  return groups;
}

const KitSnapshot* FleetJudge::ReleaseKit(size_t release) const {
  if (release == 0) return &verdicts_.kit();
  return release <= baselines().size() ? baselines()[release - 1] : nullptr;
}

std::string FleetJudge::ReleaseName(size_t release) const {
  if (release == kNoRelease) return "";
  const KitSnapshot* releaseKit = ReleaseKit(release);
  return releaseKit != nullptr ? releaseKit->release : kReleaseWords[release - baselines().size() - 1];
}
