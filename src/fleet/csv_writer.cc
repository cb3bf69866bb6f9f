#include <cstring>

#include "fleet/csv_bytes.h"
#include "fleet/fleet_writers.h"
#include "platform/platform.h"

namespace {

// Rows go through a buffer of their own: a fleet may have millions.
class CsvWriter : public FleetWriter {
 public:
  CsvWriter(const FleetJudge& judge, bool header) : withBaseline_(judge.baseline() != nullptr) {
    // Each release's field, once: a row costs a few hundred instructions.
    for (size_t release = 0; release < judge.baselines().size() + 1 + kReleaseWordCount; ++release) {
      releaseFields_.emplace_back();
      AppendCsvField(releaseFields_.back(), judge.ReleaseName(release));
    }
    if (!header) return;
    Put(withBaseline_ ? "name,bios_version,platform_name,token,table,key,folder,baseline_folder,change"
                     : "name,bios_version,platform_name,token,table,key,folder");
    Put(",ac_installed,dc_installed,ac_sha256,dc_sha256,release,written,error\n");
  }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    // The token is a part of the BIOS version.
    bool plain = machine.plainTexts;
    PutField(machine.name, plain);
    if (judgement.pair == nullptr) {
      // Every cell empty but the name and the error.
      Put(withBaseline_ ? ",,,,,,,,,,,,,,," : ",,,,,,,,,,,,,");
      PutField(machine.error, false);
      PutChar('\n');
      return;
    }
    PutChar(',');
    PutField(machine.biosVersion, plain);
    PutChar(',');
    if (machine.kind == MachineKind::kPlatformStructure) PutField(machine.platformName, plain);
    PutChar(',');
    PutField(PairToken(*judgement.pair), plain);
    const PairVerdict& verdict = *judgement.pair->verdict;
    Put(judgement.outcome == Outcome::kUndecided ? ",,," : verdict.match->csvCells);
    if (withBaseline_) {
      PutChar(',');
      if (judgement.baselineOutcome != Outcome::kUndecided) Put(verdict.baseline->csvFolder);
      PutChar(',');
      Put(ChangeWord(judgement));
    }
    if (machine.reportsInstalled) {
      PutInstalled(judgement.installed);
      PutChar(',');
      PutRelease(judgement.release);
      PutChar(',');
      if (!machine.written.empty()) PutField(machine.written, false);
      PutChar(',');
      // This machine's maps that are there but cannot be read, and why.
      if (machine.unreadable != nullptr) {
        const std::array<std::string, 2>& why = *machine.unreadable;
        PutField(why[0] + (why[0].empty() || why[1].empty() ? "" : "; ") + why[1], false);
      }
      PutChar('\n');
    } else {
      Put(",,,,,,");
      if (!machine.written.empty()) PutField(machine.written, false);
      Put(",\n");
    }
  }

  void Missing(std::string_view name) override {
    PutField(name, false);
    Put(withBaseline_ ? std::string(13, ',') + "missing,,\n" : std::string(11, ',') + "missing,,\n");
  }

  void End(const FleetJudge&, int) override { Flush(); }

 private:
  void Put(std::string_view text) {
    // An empty view may have no bytes to point at.
    if (text.empty()) return;
    if (used_ + text.size() > sizeof buffer_) Flush();
    if (text.size() > sizeof buffer_) {
      Write(text.data(), text.size());
      return;
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
  }

  void PutChar(char c) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = c;
  }

  // `text` as a CSV field; `plain` text needs no quotes.
  void PutField(std::string_view text, bool plain) {
    if (plain || FindCsvSpecial(text.data(), text.data() + text.size()) == text.data() + text.size()) {
      Put(text);
      return;
    }
    std::string field;
    AppendCsvField(field, text);
    Put(field);
  }

  // ,ac_installed,dc_installed,ac_sha256,dc_sha256
  void PutInstalled(const std::array<InstalledMap, 2>& installed) {
    for (const InstalledMap& map : installed) {
      PutChar(',');
      const char* state = InstalledStateName(map.state);
      if (state != nullptr) Put(state);
    }
    for (const InstalledMap& map : installed) {
      PutChar(',');
      if (!map.hashed) continue;
      char hex[kHexLength];
      WriteHex(map.hash, hex);
      Put({hex, sizeof hex});
    }
  }

  // The release's label, or its word.
  void PutRelease(size_t release) {
    if (release != kNoRelease) Put(releaseFields_[release]);
  }

  void Flush() {
    Write(buffer_, used_);
    used_ = 0;
  }

  bool withBaseline_;
  std::vector<std::string> releaseFields_;
  char buffer_[1 << 16];
  size_t used_ = 0;
};

}  // namespace

std::unique_ptr<FleetWriter> MakeCsvWriter(const FleetJudge& judge, bool header) {
  return std::make_unique<CsvWriter>(judge, header);
}
