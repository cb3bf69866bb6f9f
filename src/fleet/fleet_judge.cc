#include "fleet/fleet_judge.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <tuple>

#include "check/machine_check.h"
#include "common/utf8.h"
#include "common/wide_text.h"
#include "install/platform_table.h"
#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"

namespace {

// Machine names kept for each group of machines that get no folder.
constexpr size_t kNamesPerGroup = 5;

// What the selection reads of `text` (UTF-8): the text as the capture
// buffer holds it (cut at 259 UTF-16 units or a zero character), or with
// `token` only its first dot-separated token. `held` holds it where it is no
// part of `text`.
std::string_view SelectionText(std::string_view text, bool token, std::string& held) {
  // UTF-8 never takes fewer bytes than UTF-16 units, so shorter text is
  // held whole.
  if (text.size() < ArraySize(BiosVersionText)) {
    if (!token) return text.substr(0, text.find('\0'));
    // Leading dots are passed over; the token ends at a dot, or where a zero
    // character ends the text.
    const char* end = text.data() + text.size();
    const char* start = text.data();
    while (start < end && *start == '.') ++start;
    const char* stop = start;
    while (stop < end && *stop != '.' && *stop != '\0') ++stop;
    return {start, static_cast<size_t>(stop - start)};
  }
  wchar_t buffer[ArraySize(BiosVersionText)];
  CopyUtf8AsWide(text, buffer, ArraySize(buffer));
  const wchar_t* selected = token ? FirstVersionToken(buffer) : buffer;
  held = selected != nullptr ? Utf8FromWide(selected) : "";
  return held;
}

// `hash` with the bytes of `text` mixed in, eight at a time.
uint64_t MixIn(uint64_t hash, std::string_view text) {
  auto mix = [](uint64_t value, uint64_t word) {
    value = (value ^ word) * 0x9E3779B97F4A7C15u;
    return value ^ value >> 29;
  };
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    hash = mix(hash, word);
  }
  uint64_t rest = 0;
  for (size_t i = at; i < text.size(); ++i) rest |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i - at));
  return mix(hash, rest ^ uint64_t{text.size()} << 56);
}

// A pair's key is its token and its platform name.
uint64_t HashKey(std::string_view token, std::string_view platform) {
  return MixIn(MixIn(0x243F6A8885A308D3u, token), platform);
}

// The name of `folder` in kit `kit`, as its entry names it ("." for the kit
// folder itself); empty without a folder.
std::wstring FolderInKit(const std::wstring& folder, const KitSnapshot& kit) {
  if (folder.empty()) return L"";
  std::wstring name = folder.substr(std::min(folder.size(), kit.path.size() + 1));
  return name.empty() ? L"." : name;
}

// The move of a machine of `kind` (2: its platform name is unknown) under
// `verdict`: the folder by each kit's entry and the change; false when its
// folder and maps stay, or it is undecided.
bool MoveOf(const KitVerdicts& verdicts, const PairVerdict& verdict, size_t kind, MachineMove& move) {
  size_t known = kind == 2 ? 1 : 0;
  Outcome outcome = verdict.match->outcomes[known];
  if (verdict.baseline == nullptr || outcome == Outcome::kUndecided ||
      verdict.baseline->outcomes[known] == Outcome::kUndecided) {
    return false;
  }
  move = {FolderInKit(verdict.baseline->decision.folder, *verdicts.baseline()),
          FolderInKit(verdict.match->decision.folder, verdicts.kit()), ChangeName(verdict.change)};
  return move.from != move.to || verdict.change != KitChange::kUnchanged;
}

}  // namespace

std::string_view PairKey(const PairDecision& pair) {
  return {pair.longKey != nullptr ? pair.longKey->data() : pair.keyInPlace, pair.keyLength};
}

std::string_view PairToken(const PairDecision& pair) { return PairKey(pair).substr(0, pair.tokenLength); }

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
    return {nullptr, Outcome::kUnreadable, Outcome::kUnreadable};
  }
  std::string_view platform = machine.platformKnown ? machine.platformName : std::string_view();
  size_t number = FindPair(machine, SelectionText(machine.biosVersion, true, heldToken_),
                           SelectionText(platform, false, heldPlatform_), platform);
  PairDecision& pair = pairs_[number];
  const PairVerdict& verdict = *pair.verdict;
  size_t known = machine.platformKnown ? 0 : 1;
  Outcome outcome = verdict.match->outcomes[known];
  Outcome baselineOutcome = verdict.baseline != nullptr ? verdict.baseline->outcomes[known] : outcome;
  size_t kind = !machine.platformKnown ? 2 : machine.hasPlatform ? 1 : 0;
  if (++pair.machines[kind] == 0) ++carries_[3 * number + kind];
  if (keepNames_) {
    if (outcome != Outcome::kFolder && names_[number][kind].size() < kNamesPerGroup) {
      names_[number][kind].emplace_back(machine.name);
    }
    MachineMove move;
    if (MoveOf(verdicts_, verdict, kind, move) && moveNames_[move].size() < kNamesPerGroup) {
      moveNames_[move].emplace_back(machine.name);
    }
  }
  if (outcome != Outcome::kFolder || !verdict.match->bothMaps) allGetBothMaps_ = false;
  return {&pair, outcome, baselineOutcome};
}

size_t FleetJudge::FindPair(const FleetMachine& machine, std::string_view token, std::string_view platformText,
                            std::string_view platform) {
  uint64_t hash = HashKey(token, platformText);
  size_t mask = slots_.size() - 1;
  size_t at = hash & mask;
  for (; slots_[at] != 0; at = (at + 1) & mask) {
    if (slots_[at] >> 32 != hash >> 32) continue;
    size_t number = (slots_[at] & 0xFFFFFFFF) - 1;
    const PairDecision& known = pairs_[number];
    std::string_view key = PairKey(known);
    if (known.tokenLength == token.size() && key.size() == token.size() + 1 + platformText.size() &&
        key.substr(0, token.size()) == token && key.substr(token.size() + 1) == platformText) {
      return number;
    }
  }
  std::string key(token);
  key += '\0';
  key += platformText;
  // The capture buffers hold no more than this of either text.
  wchar_t biosVersion[ArraySize(BiosVersionText)];
  wchar_t platformName[ArraySize(BiosPlatformText)];
  CopyUtf8AsWide(machine.biosVersion, biosVersion, ArraySize(biosVersion));
  CopyUtf8AsWide(platform, platformName, ArraySize(platformName));
  PairDecision& pair = pairs_.emplace_back();
  pair.verdict = &verdicts_.Decide(biosVersion, platformName);
  pair.machines = {};
  pair.keyLength = static_cast<uint16_t>(key.size());
  pair.tokenLength = static_cast<uint16_t>(token.size());
  pair.longKey = key.size() > sizeof pair.keyInPlace ? &longKeys_.emplace_back(key) : nullptr;
  if (pair.longKey == nullptr) std::memcpy(pair.keyInPlace, key.data(), key.size());
  if (keepNames_) names_.emplace_back();
  slots_[at] = (hash >> 32 << 32) | pairs_.size();
  if (2 * pairs_.size() > slots_.size()) {
    slots_.assign(2 * slots_.size(), 0);
    mask = slots_.size() - 1;
    for (size_t i = 0; i < pairs_.size(); ++i) {
      std::string_view stored = PairKey(pairs_[i]);
      uint64_t known = HashKey(stored.substr(0, pairs_[i].tokenLength), stored.substr(pairs_[i].tokenLength + 1));
      size_t free = known & mask;
      while (slots_[free] != 0) free = (free + 1) & mask;
      slots_[free] = (known >> 32 << 32) | (i + 1);
    }
  }
  return pairs_.size() - 1;
}

uint64_t FleetJudge::Machines(size_t number, size_t kind) const {
  auto carry = carries_.find(3 * number + kind);
  return (carry != carries_.end() ? carry->second << 32 : 0) + pairs_[number].machines[kind];
}

FleetSummary FleetJudge::Summary() const {
  FleetSummary summary;
  summary.unreadable = unreadable_;
  summary.machines = unreadable_;
  summary.allGetBothMaps = allGetBothMaps_;
  for (size_t number = 0; number < pairs_.size(); ++number) {
    const PairDecision& pair = pairs_[number];
    for (size_t kind = 0; kind < pair.machines.size(); ++kind) {
      uint64_t machines = Machines(number, kind);
      summary.machines += machines;
      const PairVerdict& verdict = *pair.verdict;
      if (verdict.baseline != nullptr && machines > 0) {
        Judgement judgement{&pair, verdict.match->outcomes[kind == 2 ? 1 : 0],
                            verdict.baseline->outcomes[kind == 2 ? 1 : 0]};
        summary.changes[ChangeWord(judgement)] += machines;
        MachineMove move;
        if (MoveOf(verdicts_, verdict, kind, move)) summary.moves[move] += machines;
      }
      switch (verdict.match->outcomes[kind == 2 ? 1 : 0]) {
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
    for (size_t kind = 0; kind < pair.machines.size(); ++kind) {
      uint64_t machines = Machines(number, kind);
      if (machines == 0 || pair.verdict->match->outcomes[kind == 2 ? 1 : 0] != outcome) continue;
      // The key ends in the platform name as the selection read it.
      std::wstring platform = kind == 1 ? WideFromUtf8(PairKey(pair).substr(pair.tokenLength + 1)) : L"";
      std::wstring token = WideFromUtf8(PairToken(pair));
      static const std::vector<std::string> kNoNames;
      groups.push_back({token, !token.empty(), platform, kind == 1, machines,
                        keepNames_ ? &names_[number][kind] : &kNoNames});
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
