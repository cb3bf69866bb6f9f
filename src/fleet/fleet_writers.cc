#include "fleet/fleet_writers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "check/check_output.h"
#include "check/json_text.h"
#include "common/utf8.h"
#include "install/platform_table.h"

namespace {

// Rows of the text output aligned to the widest cells among the first of
// them; later rows keep those widths.
constexpr size_t kAlignedRows = 1000;

// The characters that a CSV field holds only within quotes.
struct CsvQuoted {
  bool quoted[256] = {};
  constexpr CsvQuoted() {
    for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
  }
};
constexpr CsvQuoted kCsvQuoted;

std::string ConsoleCell(std::string_view utf8) { return ConsoleText(WideFromUtf8(utf8).c_str()); }

// Rows go through a buffer of their own: a fleet may have millions.
class CsvWriter : public FleetWriter {
 public:
  CsvWriter() { Put("name,bios_version,platform_name,token,table,key,folder\n"); }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    // The token is a part of the BIOS version.
    bool plain = machine.plainTexts;
    PutField(machine.name, plain);
    if (judgement.pair == nullptr) {
      Put(",,,,,,\n");
      return;
    }
    Put(",");
    PutField(machine.biosVersion, plain);
    Put(",");
    if (machine.hasPlatform) PutField(machine.platformName, plain);
    Put(",");
    PutField(PairToken(*judgement.pair), plain);
    Put(judgement.outcome == Outcome::kUndecided ? ",,," : judgement.pair->match->csvCells);
    Put("\n");
  }

  void End(const FleetJudge&, int) override { Flush(); }

 private:
  void Put(std::string_view text) {
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

  char buffer_[1 << 16];
  size_t used_ = 0;
};

class TextWriter : public FleetWriter {
 public:
  explicit TextWriter(const std::vector<KitFinding>& findings)
      : rows_{{{"NAME", "BIOS VERSION", "PLATFORM NAME", "TOKEN", "TABLE", "KEY", "FOLDER"}, ""}} {
    out_ = FindingsText(findings);
  }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    std::vector<std::string> cells = FleetCells(machine, judgement);
    std::transform(cells.begin(), cells.end(), cells.begin(), ConsoleCell);
    std::string error(judgement.pair == nullptr ? machine.error : "");
    if (rows_.size() <= kAlignedRows) {
      rows_.push_back({cells, error});
      if (rows_.size() > kAlignedRows) Align();
    } else {
      Line(cells, error);
    }
  }

  void End(const FleetJudge& judge, int status) override {
    if (rows_.size() <= kAlignedRows) Align();
    FleetSummary summary = judge.Summary();
    out_ += "Summary:\n";
    for (const auto& [folder, count] : summary.perFolder) {
      out_ += "  " + std::to_string(count) + " in " + ConsoleText(folder.c_str()) + "\n";
    }
    out_ += "  " + std::to_string(summary.noMatch) + " with no match\n";
    if (summary.undecided > 0) {
      out_ += "  " + std::to_string(summary.undecided) + " undecided (the export gives no platform names)\n";
    }
    if (summary.unreadable > 0) out_ += "  " + std::to_string(summary.unreadable) + " unreadable\n";
    out_ += "Exit status: " + std::to_string(status) + "\n";
    Emit(0);
  }

 private:
  // Sets the widths from the rows held and writes them.
  void Align() {
    for (const auto& [cells, error] : rows_) {
      for (size_t i = 0; i < cells.size(); ++i) widths_[i] = std::max(widths_[i], cells[i].size());
    }
    for (const auto& [cells, error] : rows_) Line(cells, error);
    rows_.clear();
  }

  // A row in the columns, or a machine's name and its error.
  void Line(const std::vector<std::string>& cells, const std::string& error) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::string(std::max(widths_[i], cells[i].size()) - cells[i].size() + 2, ' ');
    }
    if (!error.empty()) line = cells[0] + "  error: " + ConsoleCell(error);
    out_ += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    Emit();
  }

  std::vector<std::pair<std::vector<std::string>, std::string>> rows_;
  std::vector<size_t> widths_ = std::vector<size_t>(7, 0);
};

class JsonWriter : public FleetWriter {
 public:
  JsonWriter(const KitSnapshot& kit, const std::vector<KitFinding>& findings)
      : kit_(kit), findings_(findings) {
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
      if (machine.hasPlatform) {
        AppendJsonUtf8(out_, machine.platformName);
      } else {
        out_ += "null";
      }
      AppendDecisionJson(out_, kit_, DecisionOf(*judgement.pair),
                         {InstalledState::kNotChecked, InstalledState::kNotChecked},
                         judgement.outcome == Outcome::kUndecided);
    }
    out_ += "}";
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
            ",\"unreadable\":" + std::to_string(summary.unreadable) + "},\"findings\":" +
            FindingsJson(findings_) + ",\"exit_status\":" + std::to_string(status) + "}\n";
    Emit(0);
  }

 private:
  const KitSnapshot& kit_;
  const std::vector<KitFinding>& findings_;
  bool first_ = true;
};

}  // namespace

void FleetWriter::Emit(size_t atLeast) {
  if (out_.size() < atLeast) return;
  std::fwrite(out_.data(), 1, out_.size(), stdout);
  out_.clear();
}

std::vector<std::string> FleetCells(const FleetMachine& machine, const Judgement& judgement) {
  if (judgement.pair == nullptr) return {std::string(machine.name), "", "", "", "", "", ""};
  const KitDecision& decision = judgement.pair->match->decision;
  bool matched = decision.matchKey != 0 && judgement.outcome != Outcome::kUndecided;
  return {std::string(machine.name),
          std::string(machine.biosVersion),
          machine.hasPlatform ? std::string(machine.platformName) : "",
          std::string(PairToken(*judgement.pair)),
          matched ? Utf8FromWide(PlatformTableSection(decision.matchTableType)) : "",
          matched ? std::to_string(decision.matchKey) : "",
          judgement.outcome == Outcome::kUndecided ? "undecided" : Utf8FromWide(decision.folder.c_str())};
}

std::unique_ptr<FleetWriter> MakeCsvWriter() { return std::make_unique<CsvWriter>(); }

std::unique_ptr<FleetWriter> MakeTextWriter(const std::vector<KitFinding>& findings) {
  return std::make_unique<TextWriter>(findings);
}

std::unique_ptr<FleetWriter> MakeJsonWriter(const KitSnapshot& kit, const std::vector<KitFinding>& findings) {
  return std::make_unique<JsonWriter>(kit, findings);
}
