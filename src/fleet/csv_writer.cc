#include <cstring>

#include "fleet/csv_bytes.h"
#include "fleet/fleet_writers.h"
#include "platform/platform.h"

namespace {

// Rows go through a buffer of their own: a fleet may have millions.
class CsvWriter : public FleetWriter {
 public:
  explicit CsvWriter(bool withBaseline) : withBaseline_(withBaseline) {
    Put(withBaseline ? "name,bios_version,platform_name,token,table,key,folder,baseline_folder,change\n"
                     : "name,bios_version,platform_name,token,table,key,folder\n");
  }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    // The token is a part of the BIOS version.
    bool plain = machine.plainTexts;
    PutField(machine.name, plain);
    if (judgement.pair == nullptr) {
      Put(withBaseline_ ? ",,,,,,,,\n" : ",,,,,,\n");
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
    PutChar('\n');
  }

  void End(const FleetJudge&, int) override { Flush(); }

 private:
  void Put(std::string_view text) {
    // An empty view may have no bytes to point at.
    if (text.empty()) return;
    if (used_ + text.size() > sizeof buffer_) Flush();
    if (text.size() > sizeof buffer_) {
      platform::WriteStandardOutput(text.data(), text.size());
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

  void Flush() {
    platform::WriteStandardOutput(buffer_, used_);
    used_ = 0;
  }

  bool withBaseline_;
  char buffer_[1 << 16];
  size_t used_ = 0;
};

}  // namespace

std::unique_ptr<FleetWriter> MakeCsvWriter(const FleetJudge& judge) {
  return std::make_unique<CsvWriter>(judge.baseline() != nullptr);
}
