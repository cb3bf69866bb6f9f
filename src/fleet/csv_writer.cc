#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fleet/fleet_writers.h"

namespace {

// The characters that a CSV field holds only within quotes.
struct CsvQuoted {
  bool quoted[256] = {};
  constexpr CsvQuoted() {
    for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
  }
};
constexpr CsvQuoted kCsvQuoted;

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
    Put(",");
    PutField(machine.biosVersion, plain);
    Put(",");
    if (machine.hasPlatform) PutField(machine.platformName, plain);
    Put(",");
    PutField(PairToken(*judgement.pair), plain);
    const PairVerdict& verdict = *judgement.pair->verdict;
    Put(judgement.outcome == Outcome::kUndecided ? ",,," : verdict.match->csvCells);
    if (withBaseline_) {
      Put(",");
      Put(judgement.baselineOutcome == Outcome::kUndecided ? "" : verdict.baseline->csvFolder);
      Put(",");
      Put(ChangeWord(judgement));
    }
    Put("\n");
  }

  void End(const FleetJudge&, int) override { Flush(); }

 private:
  void Put(std::string_view text) {
    // An empty view may have no bytes to point at.
    if (text.empty()) return;
    if (used_ + text.size() > sizeof buffer_) Flush();
    if (text.size() > sizeof buffer_) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      return;
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
  }

  // `text` as a CSV field; `plain` text needs no quotes.
  void PutField(std::string_view text, bool plain) {
    if (plain || std::none_of(text.begin(), text.end(),
                              [](char c) { return kCsvQuoted.quoted[static_cast<uint8_t>(c)]; })) {
      Put(text);
      return;
    }
    std::string field;
    AppendCsvField(field, text);
    Put(field);
  }

  void Flush() {
    std::fwrite(buffer_, 1, used_, stdout);
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
