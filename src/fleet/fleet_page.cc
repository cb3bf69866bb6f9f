#include "fleet/fleet_writers.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "check/json_text.h"
#include "check/kit_seal.h"
#include "common/utf8.h"
#include "fleet/page_parts.h"

namespace {

// The page's size is bounded whatever the fleet: it lists the first
// machines (the CSV output holds them all), the largest groups and folders,
// and the first findings.
constexpr size_t kListedMachines = 1000;
constexpr size_t kFolderBars = 40;
constexpr size_t kListedFindings = 200;
// The machines' table stays open up to this many rows.
constexpr size_t kOpenTableRows = 200;

constexpr char kStyle[] =
    "body{font:15px/1.45 system-ui,sans-serif;color:#1a1a1a;margin:0 auto;padding:1rem;max-width:64rem}"
    "h1{font-size:1.4rem;margin:.2rem 0}h2{font-size:1.1rem;margin:1.6rem 0 .5rem}"
    ".status{padding:.5rem .8rem;border-left:.4rem solid #555;background:#f2f2f2}"
    ".status.ok{border-color:#1b7a3a;background:#e9f6ee}.status.bad{border-color:#b3261e;background:#fbeaea}"
    "svg{width:100%;height:auto;max-width:40rem}svg text{font:13px system-ui,sans-serif}"
    ".folder{fill:#2f6db5}.nomatch{fill:#c77700}.undecided{fill:#8e5bb5}.unreadable{fill:#777}"
    ".unchanged{fill:#1b7a3a}.added{fill:#2f6db5}.removed{fill:#b3261e}.changed{fill:#c77700}"
    ".inplace{fill:#1b7a3a}.baseline{fill:#c77700}.othermap{fill:#b3261e}.differs{fill:#8e5bb5}"
    ".notinstalled{fill:#777}.unreadablemap{fill:#444}"
    ".finding{margin:.3rem 0;padding:.3rem .6rem;border-left:.3rem solid}"
    ".finding.error{border-color:#b3261e;background:#fbeaea}"
    ".finding.warning{border-color:#c77700;background:#fff4e0}"
    ".severity{font-weight:700;text-transform:uppercase;font-size:.8rem;margin-right:.4rem}"
    ".error .severity{color:#b3261e}.warning .severity{color:#8a5200}"
    ".wide{overflow-x:auto}table{border-collapse:collapse;font-size:.9rem}"
    "th,td{text-align:left;padding:.2rem .5rem;border-bottom:1px solid #ddd;vertical-align:top}"
    "td{overflow-wrap:break-word}td:first-child{white-space:nowrap}ul{padding-left:1.2rem}"
    "@media (max-width:40rem){body{font-size:14px;padding:.5rem}}"
    "@page{size:A4;margin:12mm}@media print{body{max-width:none}.status,.finding{-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    "details>summary{list-style:none}}";

// What the exit status says of this fleet: for 1, the reasons that hold.
std::string StatusMeaning(int status, const FleetSummary& summary, const RollCallSummary& roll) {
  if (status == 0) return "every machine gets a folder with both maps";
  if (status == 2) return "the kit is wrong: it has error findings";
  if (status != 1) return "no machine could be read";
  bool unreadableMap = summary.installed[0][static_cast<size_t>(InstalledState::kUnreadable)] +
                           summary.installed[1][static_cast<size_t>(InstalledState::kUnreadable)] >
                       0;
  auto count = [](uint64_t n, const char* one, const char* many) { return std::to_string(n) + (n == 1 ? one : many); };
  std::vector<std::string> reasons;
  if (summary.noMatch > 0) reasons.push_back(count(summary.noMatch, " machine gets no folder", " machines get no folder"));
  if (summary.undecided > 0) reasons.push_back(count(summary.undecided, " is undecided", " are undecided"));
  if (summary.unreadable > 0) {
    reasons.push_back(count(summary.unreadable, " input could not be read", " inputs could not be read"));
  }
  if (summary.passedOver > 0) {
    reasons.push_back(count(summary.passedOver, " folder entry was passed over", " folder entries were passed over"));
  }
  if (unreadableMap) reasons.push_back("an installed map cannot be read");
  if (roll.missing > 0) reasons.push_back(count(roll.missing, " expected machine is missing", " expected machines are missing"));
  if (roll.stale > 0) reasons.push_back(count(roll.stale, " row is stale", " rows are stale"));
  if (!summary.allInPlace) reasons.push_back("some installed maps are not in place");
  // What is left: a folder that lacks a map.
  if (reasons.empty()) reasons.push_back("a folder lacks a map");
  std::string meaning;
  for (size_t i = 0; i < reasons.size(); ++i) {
    meaning += (i == 0 ? "" : i + 1 == reasons.size() ? " and " : ", ") + reasons[i];
  }
  return meaning;
}

// The folder's own name, as people know it; the full path is its title.
std::wstring LastPart(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos || separator + 1 == path.size() ? path : path.substr(separator + 1);
}

std::string FolderBars(const FleetSummary& summary) {
  std::vector<Bar> bars;
  for (const auto& [folder, count] : summary.perFolder) bars.push_back({LastPart(folder), folder, count, "folder"});
  std::stable_sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.count > b.count; });
  if (bars.size() > kFolderBars) {
    uint64_t others = 0;
    for (size_t i = kFolderBars; i < bars.size(); ++i) others += bars[i].count;
    std::wstring label = std::to_wstring(bars.size() - kFolderBars) + L" other folders";
    bars.resize(kFolderBars);
    bars.push_back({label, label, others, "folder"});
  }
  bars.push_back({L"no match", L"machines that no entry matches", summary.noMatch, "nomatch"});
  if (summary.undecided > 0) {
    bars.push_back({L"undecided", L"machines whose platform name the export does not give", summary.undecided,
                    "undecided"});
  }
  bars.push_back({L"unreadable", L"files that give no machine", summary.unreadable, "unreadable"});
  if (summary.passedOver > 0) {
    bars.push_back({L"passed over", L"folder entries that are no files to read, not judged", summary.passedOver,
                    "unreadable"});
  }
  return Bars(bars, summary.machines, "Machines per folder");
}

// What the kit changes from the baseline kit: a bar per change, and the
// moves, largest first, each with a few of its machines.
std::string Changes(const FleetJudge& judge, const FleetSummary& summary) {
  std::string html = "<h2>What changes from release " + Html(judge.baseline()->release) + " to release " +
                     Html(judge.kit().release) + "</h2>\n<p>Baseline kit: <code class=\"baseline-kit\">" +
                     Html(judge.baseline()->path) + "</code></p>\n";
  std::vector<Bar> bars;
  for (const char* word : kChangeWords) {
    auto count = summary.changes.find(word);
    uint64_t machines = count != summary.changes.end() ? count->second : 0;
    if (machines > 0 || word != kChangeWords[4]) bars.push_back({Widened(word), Widened(word), machines, word});
  }
  html += Bars(bars, summary.machines - summary.unreadable, "Machines per change");
  std::vector<std::pair<MachineMove, uint64_t>> moves = LargestMoves(summary);
  if (moves.empty()) return html + "<p>No machine gets another folder or other maps.</p>\n";
  html += "<div class=\"wide\"><table class=\"moves\"><thead><tr><th>Machines</th><th>From</th><th>To</th>"
          "<th>Change</th><th>For example</th></tr></thead><tbody>\n";
  auto folder = [](const std::wstring& name) { return name.empty() ? std::string("no folder") : Html(name); };
  for (size_t m = 0; m < moves.size() && m < kListedGroups; ++m) {
    const auto& [move, machines] = moves[m];
    std::string some = SomeNames(judge.MoveNames(move), machines);
    html += "<tr><td class=\"move-count\">" + std::to_string(machines) + "</td><td>" + folder(move.from) +
            "</td><td>" + folder(move.to) + "</td><td class=\"change\">" + move.change + "</td><td>" + some +
            "</td></tr>\n";
  }
  html += "</tbody></table></div>\n";
  if (moves.size() > kListedGroups) html += "<p>And " + std::to_string(moves.size() - kListedGroups) + " smaller moves.</p>\n";
  return html;
}

// Machines that get no folder, by token and platform name, largest group
// first: the entries the kit still lacks, or the tokens an export leaves
// undecided.
std::string Groups(const std::vector<MachineGroup>& groups, bool withPlatform, const char* none) {
  if (groups.empty()) return std::string("<p>") + none + "</p>\n";
  std::string html = "<div class=\"wide\"><table class=\"groups\"><thead><tr><th>Machines</th>"
                     "<th>BIOS version token</th>";
  html += withPlatform ? "<th>Platform name</th>" : "";
  html += "<th>For example</th></tr></thead><tbody>\n";
  for (size_t g = 0; g < groups.size() && g < kListedGroups; ++g) {
    const MachineGroup& group = groups[g];
    std::string some = SomeNames(*group.names, group.machines);
    html += "<tr><td class=\"group-count\">" + std::to_string(group.machines) + "</td><td>" +
            Html(group.hasToken ? L"\u201C" + group.token + L"\u201D" : L"no token") + "</td>";
    if (withPlatform) {
      html += "<td>" + Html(group.hasPlatform ? L"\u201C" + group.platform + L"\u201D" : L"no type 130 structure") + "</td>";
    }
    html += "<td>" + some + "</td></tr>\n";
  }
  html += "</tbody></table></div>\n";
  if (groups.size() > kListedGroups) {
    html += "<p>And " + std::to_string(groups.size() - kListedGroups) + " smaller groups.</p>\n";
  }
  return html;
}

std::string Findings(const std::vector<KitFinding>& findings) {
  if (findings.empty()) return "<p>None.</p>\n";
  std::vector<const KitFinding*> ordered(findings.size());
  std::transform(findings.begin(), findings.end(), ordered.begin(), [](const KitFinding& f) { return &f; });
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const KitFinding* a, const KitFinding* b) { return a->error && !b->error; });
  std::string html = "<ul class=\"findings\">\n";
  if (ordered.size() > kListedFindings) ordered.resize(kListedFindings);
  for (const KitFinding* finding : ordered) {
    const char* severity = finding->error ? "error" : "warning";
    html += std::string("<li class=\"finding ") + severity + "\"><span class=\"severity\">" + severity +
            "</span><code>" + Html(finding->code) + "</code> " + Html(finding->file) +
            (finding->line > 0 ? ":" + std::to_string(finding->line) : "") + ": " + Html(finding->message) +
            "</li>\n";
  }
  html += "</ul>\n";
  if (findings.size() > kListedFindings) {
    html += "<p>And " + std::to_string(findings.size() - kListedFindings) +
            " more; the text and JSON outputs list them all.</p>\n";
  }
  return html;
}

class PageWriter : public FleetWriter {
 public:
  PageWriter(bool withBaseline, const std::vector<KitFinding>& findings)
      : withBaseline_(withBaseline), findings_(findings) {}

  void Row(const FleetMachine& machine, const Judgement& judgement) override {
    if (rows_.size() == kListedMachines) return;
    rows_.emplace_back(FleetCells(machine, judgement, withBaseline_),
                       judgement.pair == nullptr
                           ? std::string(judgement.superseded ? "" : "cannot be read: ").append(machine.error)
                           : std::string());
  }

  // The missing machines are named in the head's roll call.
  void Missing(std::string_view) override {}

  void End(const FleetJudge& judge, int status) override {
    FleetSummary summary = judge.Summary();
    std::string machines = std::to_string(summary.machines);
    out_ = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>Thermal maps of " + machines + " machines</title><style>" + kStyle +
           "</style></head>\n<body>\n<h1>Which thermal maps the machines get</h1>\n";
    std::string head = RollCallHead(judge);
    out_ += "<p>" + Html(head.substr(0, head.size() - 1)) + "<br>Kit: <code class=\"kit\">" + Html(judge.kit().path) +
            "</code> (" + Html(KitIdentityText(judge.kit())) + ")";
    for (const KitSnapshot* baseline : judge.baselines()) {
      out_ += "<br>Baseline kit: <code>" + Html(baseline->path) + "</code> (" + Html(KitIdentityText(*baseline)) + ")";
    }
    out_ += "<br>Machines: <span class=\"machine-count\">" + machines + "</span><br><span class=\"roll-call\">" +
            Html(RollCallLine(judge.rollCall().Summary())) + "</span>";
    if (summary.reportingInstalled > 0) out_ += "<br>" + Html(ReleasesLine(judge, summary));
    out_ += "</p>\n";
    out_ += std::string("<p class=\"status ") + (status == 0 ? "ok" : "bad") + "\">Exit status <span class=\"exit-status\">" +
            std::to_string(status) + "</span>: " + StatusMeaning(status, summary, judge.rollCall().Summary()) + ".</p>\n";
    // A kit that installs nothing explains every chart below: that comes first.
    for (const KitFinding& finding : findings_) {
      if (std::string(finding.code) == "table-missing" || std::string(finding.code) == "tag") {
        out_ += "<p class=\"status bad kit-error\">The kit installs nothing: " + Html(finding.message) + ".</p>\n";
      }
    }
    out_ += "<h2>Machines per folder</h2>\n" + FolderBars(summary);
    out_ += "<h2>Machines with no match</h2>\n" +
            Groups(judge.Groups(Outcome::kNoMatch), true, "Every machine that could be read and decided matches an entry.");
    if (summary.undecided > 0) {
      out_ += "<h2>Machines the export cannot decide</h2>\n<p>The export gives no platform names, and no type 0 "
              "entry matches these tokens: what these machines get depends on their platform name.</p>\n" +
              Groups(judge.Groups(Outcome::kUndecided), false, "");
    }
    out_ += "<h2>The kit's findings</h2>\n" + Findings(findings_);
    if (withBaseline_) out_ += Changes(judge, summary);
    bool installed = summary.reportingInstalled > 0;
    if (installed) out_ += InstalledSection(judge, summary);
    out_ += "<h2>Machines</h2>\n";
    out_ += std::string("<details class=\"machines\"") + (rows_.size() <= kOpenTableRows ? " open" : "") + "><summary>" +
            (rows_.size() < summary.machines ? "The first " + std::to_string(rows_.size()) + " of " + machines +
                                              " machines (the CSV output lists them all)"
                                        : "All " + machines + " machines") +
            "</summary>\n<div class=\"wide\"><table><thead><tr><th>Name</th><th>BIOS version</th>"
            "<th>Platform name</th><th>Token</th><th>Table</th><th>Key</th><th>Folder</th>" +
            (withBaseline_ ? "<th>Baseline folder</th><th>Change</th>" : "") +
            (installed ? "<th>AC installed</th><th>DC installed</th>" : "") + "</tr></thead><tbody>\n";
    for (const auto& [cells, error] : rows_) out_ += RowHtml(cells, error, installed);
    out_ += "</tbody></table></div>\n</details>\n</body></html>\n";
    Emit(0);
  }

 private:
  // A machine's row, with the installed maps' states or without them.
  static std::string RowHtml(const std::vector<std::string>& cells, const std::string& error, bool installed) {
    size_t shown = installed ? cells.size() : cells.size() - 2;
    std::string html = "<tr><td>" + Html(cells[0]) + "</td>";
    if (!error.empty()) {
      return html + "<td colspan=\"" + std::to_string(shown - 1) + "\">" + Html(error) + "</td></tr>\n";
    }
    for (size_t i = 1; i < shown; ++i) html += "<td>" + Html(cells[i]) + "</td>";
    return html + "</tr>\n";
  }

  bool withBaseline_;
  const std::vector<KitFinding>& findings_;
  // The first machines' cells, and the error of each that could not be read.
  std::vector<std::pair<std::vector<std::string>, std::string>> rows_;
};

}  // namespace

std::unique_ptr<FleetWriter> MakePageWriter(const FleetJudge& judge, const std::vector<KitFinding>& findings) {
  return std::make_unique<PageWriter>(judge.baseline() != nullptr, findings);
}
