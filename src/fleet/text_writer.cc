#include <algorithm>
#include <utility>

#include "check/check_output.h"
#include "check/json_text.h"
#include "check/kit_seal.h"
#include "common/utf8.h"
#include "fleet/fleet_writers.h"

namespace {

// Rows of the text output aligned to the widest cells among the first of
// them; later rows keep those widths.
constexpr size_t kAlignedRows = 1000;

std::string ConsoleCell(std::string_view utf8) { return ConsoleText(WideFromUtf8(utf8).c_str()); }

class TextWriter : public FleetWriter {
 public:
  TextWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings)
      : judge_(judge),
        withBaseline_(judge.baseline() != nullptr),
        rows_{{{"NAME", "BIOS VERSION", "PLATFORM NAME", "TOKEN", "TABLE", "KEY", "FOLDER"}, ""}},
        widths_(withBaseline_ ? 12 : 10, 0) {
    if (withBaseline_) rows_[0].first.insert(rows_[0].first.end(), {"BASELINE FOLDER", "CHANGE"});
    rows_[0].first.insert(rows_[0].first.end(), {"AC INSTALLED", "DC INSTALLED", "RELEASE"});
    out_ = FindingsText(findings);
  }

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    std::vector<std::string> cells = FleetCells(machine, judgement, withBaseline_);
    cells.push_back(judge_.ReleaseName(judgement.release));
    std::transform(cells.begin(), cells.end(), cells.begin(), ConsoleCell);
    std::string error(judgement.pair == nullptr ? std::string(judgement.superseded ? "" : "error: ").append(machine.error)
                                                : "");
    if (aligned_) return Line(cells, error);
    rows_.push_back({cells, error});
    if (rows_.size() > kAlignedRows) Align();
  }

  void Missing(std::string_view name) override {
    if (!aligned_) Align();
    out_ += ConsoleCell(name) + "  missing: expected, but it gave no row\n";
    Emit();
  }

  void End(const FleetJudge& judge, int status) override {
    if (!aligned_) Align();
    FleetSummary summary = judge.Summary();
    out_ += RollCallHead(judge);
    out_ += "Kit: " + ConsoleText(judge.kit().path.c_str()) + " (" + KitIdentityText(judge.kit()) + ")\n";
    for (const KitSnapshot* baseline : judge.baselines()) {
      out_ += "Baseline kit: " + ConsoleText(baseline->path.c_str()) + " (" + KitIdentityText(*baseline) + ")\n";
    }
    out_ += ConsoleCell(RollCallLine(judge.rollCall().Summary())) + "\n";
    if (summary.reportingInstalled > 0) out_ += ConsoleCell(ReleasesLine(judge, summary)) + "\n";
    out_ += "Summary:\n";
    for (const auto& [folder, count] : summary.perFolder) {
      out_ += "  " + std::to_string(count) + " in " + ConsoleText(folder.c_str()) + "\n";
    }
    out_ += "  " + std::to_string(summary.noMatch) + " with no match\n";
    if (summary.undecided > 0) {
      out_ += "  " + std::to_string(summary.undecided) + " undecided (the export gives no platform names)\n";
    }
    if (summary.unreadable > 0) out_ += "  " + std::to_string(summary.unreadable) + " unreadable\n";
    if (summary.passedOver > 0) {
      out_ += "  " + std::to_string(summary.passedOver) + " passed over (folder entries that are no files to read)\n";
    }
    if (summary.reportingInstalled > 0) {
      out_ += "Installed maps of the " + std::to_string(summary.reportingInstalled) + " machines that report them:\n";
      for (const std::string& line : InstalledLines(summary)) out_ += "  " + line + "\n";
    }
    if (withBaseline_) {
      out_ += "Changes from release " + ReleaseText(*judge.baseline()) + " to release " + ReleaseText(judge.kit()) +
              " (the baseline kit " + ConsoleText(judge.baseline()->path.c_str()) + "):\n";
      for (const char* word : kChangeWords) {
        auto count = summary.changes.find(word);
        if (count != summary.changes.end()) out_ += "  " + std::to_string(count->second) + " " + word + "\n";
      }
      for (const auto& [move, machines] : LargestMoves(summary)) {
        out_ += "  " + std::to_string(machines) + " from " + FolderText(move.from) + " to " +
                FolderText(move.to) + ": " + move.change + "\n";
      }
    }
    out_ += "Exit status: " + std::to_string(status) + "\n";
    Emit(0);
  }

 private:
  // Sets the widths from the rows held and writes them. The installed maps'
  // columns and the release are shown when one of those rows reports them.
  void Align() {
    for (const auto& [cells, error] : rows_) {
      for (size_t i = 0; i < cells.size(); ++i) widths_[i] = std::max(widths_[i], cells[i].size());
    }
    bool reported = std::any_of(rows_.begin() + 1, rows_.end(), [](const auto& row) {
      return !row.first[row.first.size() - 3].empty();
    });
    if (!reported) widths_.resize(widths_.size() - 3);
    for (const auto& [cells, error] : rows_) Line(cells, error);
    rows_.clear();
    aligned_ = true;
  }

  // A row in the columns, or a machine's name and its error (or why the row
  // is superseded).
  void Line(const std::vector<std::string>& cells, const std::string& error) {
    std::string line;
    for (size_t i = 0; i < widths_.size(); ++i) {
      line += cells[i];
      if (i + 1 < widths_.size()) line += std::string(std::max(widths_[i], cells[i].size()) - cells[i].size() + 2, ' ');
    }
    if (!error.empty()) line = cells[0] + "  " + ConsoleCell(error);
    out_ += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    Emit();
  }

  static std::string FolderText(const std::wstring& folder) {
    return folder.empty() ? "no folder" : ConsoleText(folder.c_str());
  }

  const FleetJudge& judge_;
  bool withBaseline_;
  std::vector<std::pair<std::vector<std::string>, std::string>> rows_;
  std::vector<size_t> widths_;
  bool aligned_ = false;
};

}  // namespace

std::unique_ptr<FleetWriter> MakeTextWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings) {
  return std::make_unique<TextWriter>(judge, findings);
}
