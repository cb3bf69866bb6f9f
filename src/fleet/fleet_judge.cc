#include "fleet/fleet_judge.h"

#include <algorithm>
#include <cstring>
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

// Appends to `key` what the selection reads of `text` (UTF-8): the text as
// the capture buffer holds it (cut at 259 UTF-16 units or a zero
// character), or with `token` only its first dot-separated token.
void AppendSelectionText(std::string_view text, bool token, std::string& key) {
  // UTF-8 never takes fewer bytes than UTF-16 units, so shorter text is
  // held whole.
  if (text.size() < ArraySize(BiosVersionText) && std::memchr(text.data(), 0, text.size()) == nullptr) {
    if (!token) {
      key += text;
      return;
    }
    size_t start = text.find_first_not_of('.');
    if (start != std::string_view::npos) key += text.substr(start, text.find('.', start) - start);
    return;
  }
  wchar_t held[ArraySize(BiosVersionText)];
  CopyUtf8AsWide(text, held, ArraySize(held));
  const wchar_t* selected = token ? FirstVersionToken(held) : held;
  if (selected != nullptr) key += Utf8FromWide(selected);
}

// A decision's CSV cells after the platform name: the token, and the
// match's table, key and folder.
void SetCsvCells(PairDecision& pair) {
  const KitDecision& decision = pair.decision;
  pair.csvToken = ",";
  AppendCsvField(pair.csvToken, Utf8FromWide(decision.token.c_str()));
  pair.csvMatch = ",";
  if (decision.matchKey != 0) {
    pair.csvMatch += Utf8FromWide(PlatformTableSection(decision.matchTableType)) + "," +
                     std::to_string(decision.matchKey);
  } else {
    pair.csvMatch += ",";
  }
  pair.csvMatch += ",";
  AppendCsvField(pair.csvMatch, Utf8FromWide(decision.folder.c_str()));
}

}  // namespace

Outcome OutcomeOf(const KitSnapshot& kit, const KitDecision& decision, bool platformKnown) {
  // Without the platform name only a type 0 match decides, or a kit whose
  // tag fails, which installs nothing for any machine.
  bool typeZeroMatch = decision.matchKey != 0 && decision.matchTableType == 0;
  if (!platformKnown && kit.tagOk && !typeZeroMatch) return Outcome::kUndecided;
  return decision.folder.empty() ? Outcome::kNoMatch : Outcome::kFolder;
}

Judgement FleetJudge::Judge(const FleetMachine& machine) {
  if (!machine.error.empty()) {
    ++unreadable_;
    allGetBothMaps_ = false;
    return {nullptr, Outcome::kUnreadable};
  }
  std::string_view platform = machine.platformKnown ? machine.platformName : std::string_view();
  key_.clear();
  AppendSelectionText(machine.biosVersion, true, key_);
  key_ += '\0';
  AppendSelectionText(platform, false, key_);
  auto found = pairs_.find(key_);
  if (found == pairs_.end()) {
    // The capture buffers hold no more than this of either text.
    wchar_t biosVersion[ArraySize(BiosVersionText)];
    wchar_t platformName[ArraySize(BiosPlatformText)];
    CopyUtf8AsWide(machine.biosVersion, biosVersion, ArraySize(biosVersion));
    CopyUtf8AsWide(platform, platformName, ArraySize(platformName));
    auto pair = std::make_unique<PairDecision>();
    pair->decision = DecideWithKit(kit_, biosVersion, platformName);
    SetCsvCells(*pair);
    found = pairs_.emplace(key_, std::move(pair)).first;
  }
  PairDecision& pair = *found->second;
  Outcome outcome = OutcomeOf(kit_, pair.decision, machine.platformKnown);
  MachineCount& count = pair.kinds[!machine.platformKnown ? 2 : machine.hasPlatform ? 1 : 0];
  ++count.machines;
  if (keepNames_ && outcome != Outcome::kFolder && count.names.size() < kNamesPerGroup) {
    count.names.emplace_back(machine.name);
  }
  if (outcome != Outcome::kFolder || !InstallsBothMaps(pair.decision)) allGetBothMaps_ = false;
  return {&pair, outcome};
}

FleetSummary FleetJudge::Summary() const {
  FleetSummary summary;
  summary.unreadable = unreadable_;
  summary.machines = unreadable_;
  summary.allGetBothMaps = allGetBothMaps_;
  for (const auto& [key, pair] : pairs_) {
    for (size_t kind = 0; kind < pair->kinds.size(); ++kind) {
      uint64_t machines = pair->kinds[kind].machines;
      summary.machines += machines;
      switch (OutcomeOf(kit_, pair->decision, kind != 2)) {
        case Outcome::kFolder: summary.perFolder[pair->decision.folder] += machines; break;
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
  for (const auto& [key, pair] : pairs_) {
    for (size_t kind = 0; kind < pair->kinds.size(); ++kind) {
      const MachineCount& count = pair->kinds[kind];
      if (count.machines == 0 || OutcomeOf(kit_, pair->decision, kind != 2) != outcome) continue;
      // The key ends in the platform name as the selection read it.
      std::wstring platform = kind == 1 ? WideFromUtf8(std::string_view(key).substr(key.find('\0') + 1)) : L"";
      groups.push_back({pair->decision.token, pair->decision.hasToken, platform, kind == 1, &count});
    }
  }
  std::sort(groups.begin(), groups.end(), [](const MachineGroup& a, const MachineGroup& b) {
    return std::make_tuple(b.count->machines, a.hasToken, a.token, a.hasPlatform, a.platform) <
           std::make_tuple(a.count->machines, b.hasToken, b.token, b.hasPlatform, b.platform);
  });
  return groups;
}

void AppendCsvField(std::string& out, std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
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
