#include "check/check_options.h"
#include "check/check_output.h"
#include "check/utc_time.h"
#include "check/json_text.h"
#include "check/kit_seal.h"
#include "fleet/fleet_writers.h"
#include "install/deploy.h"

namespace {

class JsonWriter : public FleetWriter {
 public:
  JsonWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings)
      : judge_(judge), kit_(judge.kit()), baseline_(judge.baseline()), findings_(findings) {
    out_ = "{\"machines\":[";
  }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    out_ += first_ ? "{\"name\":" : ",{\"name\":";
    first_ = false;
    AppendJsonUtf8(out_, machine.name);
    if (judgement.pair == nullptr) {
      out_ += ",\"error\":";
      AppendJsonUtf8(out_, machine.error);
    } else {
      out_ += ",\"firmware\":";
      AppendJsonString(out_, machine.firmware->c_str());
      out_ += ",\"format\":";
      AppendJsonUtf8(out_, machine.format);
      out_ += ",\"kit\":";
      AppendJsonString(out_, kit_.path.c_str());
      out_ += ",\"bios_version\":";
      AppendJsonUtf8(out_, machine.biosVersion);
      out_ += ",\"platform_name\":";
      if (machine.kind == MachineKind::kPlatformStructure) {
        AppendJsonUtf8(out_, machine.platformName);
      } else {
        out_ += "null";
      }
      AppendDecisionJson(out_, kit_, DecisionOf(*judgement.pair, false), judgement.installed,
                         judgement.outcome == Outcome::kUndecided, machine.unreadable);
      if (baseline_ != nullptr) {
        AppendBaselineJson(out_, *baseline_, DecisionOf(*judgement.pair, true),
                           judgement.baselineOutcome == Outcome::kUndecided);
        out_ += std::string(",\"change\":\"") + ChangeWord(judgement) + "\"";
      }
      out_ += ",\"release\":";
      if (judgement.release == kNoRelease) {
        out_ += "null";
      } else {
        AppendJsonUtf8(out_, judge_.ReleaseName(judgement.release));
      }
      out_ += ",\"written\":";
      if (machine.written.empty()) {
        out_ += "null";
      } else {
        AppendJsonUtf8(out_, machine.written);
      }
    }
    out_ += "}";
    Emit();
  }

  void Missing(std::string_view name) override {
    out_ += first_ ? "{\"name\":" : ",{\"name\":";
    first_ = false;
    AppendJsonUtf8(out_, name);
    out_ += ",\"release\":\"missing\"}";
    Emit();
  }

  void End(const FleetJudge& judge, int status) override {
    FleetSummary summary = judge.Summary();
    out_ += "],\"summary\":{\"machines\":" + std::to_string(summary.machines) + ",\"folders\":[";
    bool first = true;
    for (const auto& [folder, count] : summary.perFolder) {
      out_ += first ? "{\"folder\":" : ",{\"folder\":";
      first = false;
      AppendJsonString(out_, folder.c_str());
      out_ += ",\"machines\":" + std::to_string(count) + "}";
    }
    out_ += "],\"no_match\":" + std::to_string(summary.noMatch) +
            ",\"undecided\":" + std::to_string(summary.undecided) +
            ",\"unreadable\":" + std::to_string(summary.unreadable) +
            ",\"passed_over\":" + std::to_string(summary.passedOver);
    if (summary.reportingInstalled > 0) AppendInstalled(summary);
    if (baseline_ != nullptr) AppendChanges(summary);
    AppendRollCall(judge.rollCall().Summary());
    out_ += "},\"checker_version\":\"" + std::string(CheckerVersion()) + "\",\"run_time\":\"" +
            UtcTimeText(judge.rollCall().runTime()) + "\",\"kit\":";
    AppendJsonString(out_, kit_.path.c_str());
    AppendKitIdentityJson(out_, "kit_", kit_);
    out_ += ",\"findings\":" + FindingsJson(findings_) + ",\"exit_status\":" + std::to_string(status) + "}\n";
    Emit(0);
  }

 private:
  // ,"installed": {"machines", and for each map {state: machines}}, of the
  // machines that report their maps.
  void AppendInstalled(const FleetSummary& summary) {
    out_ += ",\"installed\":{\"machines\":" + std::to_string(summary.reportingInstalled);
    for (int i = 0; i < 2; ++i) {
      out_ += ",";
      AppendJsonString(out_, kThermalMapFiles[i].name);
      for (size_t state = 1; state < kInstalledStates; ++state) {
        out_ += std::string(state == 1 ? ":{\"" : ",\"") + InstalledStateName(static_cast<InstalledState>(state)) +
                "\":" + std::to_string(summary.installed[i][state]);
      }
      out_ += "}";
    }
    out_ += "}";
    AppendReleases(summary);
  }

  // ,"roll_call": {"reported", "without_written", "repeated",
  // "repeated_names", "superseded", "changed", and with --max-age
  // "stale" and "stale_names", with --expect "expected", "missing",
  // "missing_names", "unexpected", "unexpected_names"}.
  void AppendRollCall(const RollCallSummary& roll) {
    auto names = [this](const std::vector<std::string>& list) {
      out_ += "[";
      for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out_ += ",";
        AppendJsonUtf8(out_, list[i]);
      }
      out_ += "]";
    };
    out_ += ",\"roll_call\":{\"reported\":" + std::to_string(roll.reported) +
            ",\"without_written\":" + std::to_string(roll.withoutWritten) +
            ",\"repeated\":" + std::to_string(roll.repeated) + ",\"repeated_names\":";
    names(roll.repeatedNames);
    out_ += ",\"superseded\":" + std::to_string(roll.superseded) + ",\"changed\":" + std::to_string(roll.changed);
    if (roll.maxAgeGiven) {
      out_ += ",\"stale\":" + std::to_string(roll.stale) + ",\"stale_names\":";
      names(roll.staleNames);
    }
    if (roll.expecting) {
      out_ += ",\"expected\":" + std::to_string(roll.expected) + ",\"missing\":" + std::to_string(roll.missing) +
              ",\"missing_names\":";
      names(roll.missingNames);
      out_ += ",\"unexpected\":" + std::to_string(roll.unexpected) + ",\"unexpected_names\":";
      names(roll.unexpectedNames);
    }
    out_ += "}";
  }

  // ,"releases": [{"release", "fingerprint", "machines"}], each release in
  // order, then each word, whose fingerprint is null.
  void AppendReleases(const FleetSummary& summary) {
    out_ += ",\"releases\":[";
    for (size_t release = 0; release < summary.releases.size(); ++release) {
      out_ += release == 0 ? "{\"release\":" : ",{\"release\":";
      AppendJsonUtf8(out_, judge_.ReleaseName(release));
      const KitSnapshot* kit = judge_.ReleaseKit(release);
      out_ += ",\"fingerprint\":" + (kit != nullptr ? "\"" + HexOf(kit->fingerprint) + "\"" : std::string("null")) +
              ",\"machines\":" + std::to_string(summary.releases[release]) + "}";
    }
    out_ += "]";
  }

  // ,"baseline_kit", "changes" {word: machines} and "moves" [{"from", "to",
  // "machines", "change"}], the largest first.
  void AppendChanges(const FleetSummary& summary) {
    out_ += ",\"baseline_kit\":";
    AppendJsonString(out_, baseline_->path.c_str());
    AppendKitIdentityJson(out_, "baseline_kit_", *baseline_);
    out_ += ",\"changes\":{";
    for (const char* word : kChangeWords) {
      auto count = summary.changes.find(word);
      out_ += std::string(word == kChangeWords[0] ? "\"" : ",\"") + word + "\":" +
              std::to_string(count != summary.changes.end() ? count->second : 0);
    }
    out_ += "},\"moves\":[";
    bool first = true;
    for (const auto& [move, machines] : LargestMoves(summary)) {
      out_ += first ? "{\"from\":" : ",{\"from\":";
      first = false;
      AppendJsonString(out_, move.from.empty() ? nullptr : move.from.c_str());
      out_ += ",\"to\":";
      AppendJsonString(out_, move.to.empty() ? nullptr : move.to.c_str());
      out_ += ",\"machines\":" + std::to_string(machines) + ",\"change\":\"" + move.change + "\"}";
    }
    out_ += "]";
  }

  const FleetJudge& judge_;
  const KitSnapshot& kit_;
  const KitSnapshot* baseline_;
  const std::vector<KitFinding>& findings_;
  bool first_ = true;
};

}  // namespace

std::unique_ptr<FleetWriter> MakeJsonWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings) {
  return std::make_unique<JsonWriter>(judge, findings);
}
