#include "check/fleet_page.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "check/json_text.h"

namespace {

// A table stays open up to this many machines.
constexpr size_t kOpenTableRows = 200;
// Machine names shown for a group that matches nothing.
constexpr size_t kNamesPerGroup = 5;

constexpr char kStyle[] =
    "body{font:15px/1.45 system-ui,sans-serif;color:#1a1a1a;margin:0 auto;padding:1rem;max-width:64rem}"
    "h1{font-size:1.4rem;margin:.2rem 0}h2{font-size:1.1rem;margin:1.6rem 0 .5rem}"
    ".status{padding:.5rem .8rem;border-left:.4rem solid #555;background:#f2f2f2}"
    ".status.ok{border-color:#1b7a3a;background:#e9f6ee}.status.bad{border-color:#b3261e;background:#fbeaea}"
    "svg{width:100%;height:auto;max-width:40rem}svg text{font:13px system-ui,sans-serif}"
    ".folder{fill:#2f6db5}.nomatch{fill:#c77700}.unreadable{fill:#777}"
    ".finding{margin:.3rem 0;padding:.3rem .6rem;border-left:.3rem solid}"
    ".finding.error{border-color:#b3261e;background:#fbeaea}"
    ".finding.warning{border-color:#c77700;background:#fff4e0}"
    ".severity{font-weight:700;text-transform:uppercase;font-size:.8rem;margin-right:.4rem}"
    ".error .severity{color:#b3261e}.warning .severity{color:#8a5200}"
    ".wide{overflow-x:auto}table{border-collapse:collapse;font-size:.9rem}"
    "th,td{text-align:left;padding:.2rem .5rem;border-bottom:1px solid #ddd;vertical-align:top}"
    "td{overflow-wrap:break-word}td:first-child{white-space:nowrap}ul{padding-left:1.2rem}"
    "@media (max-width:40rem){body{font-size:14px;padding:.5rem}}"
    "@media print{body{max-width:none}.status,.finding{-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    "details>summary{list-style:none}}";

std::string Html(const std::wstring& text) {
  std::string out;
  AppendHtmlText(out, text.c_str());
  return out;
}

std::string Html(const std::string& ascii) { return Html(Widened(ascii)); }

std::string Share(int count, size_t total) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", total == 0 ? 0.0 : 100.0 * count / static_cast<double>(total));
  return text;
}

const char* StatusMeaning(int status) {
  switch (status) {
    case 0: return "every machine gets a folder with both maps";
    case 1: return "some machines get no folder with both maps, or could not be read";
    case 2: return "the kit is wrong: it has error findings";
    default: return "no machine could be read";
  }
}

// The folder's own name, as people know it; the full path is its title.
std::wstring LastPart(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos || separator + 1 == path.size() ? path : path.substr(separator + 1);
}

struct Bar {
  std::wstring label;
  std::wstring title;
  int count;
  const char* kind;  // "folder", "nomatch" or "unreadable"
};

std::string BarChart(const FleetSummary& summary, size_t total) {
  std::vector<Bar> bars;
  for (const auto& [folder, count] : summary.perFolder) bars.push_back({LastPart(folder), folder, count, "folder"});
  std::stable_sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.count > b.count; });
  bars.push_back({L"no match", L"machines that no entry matches", summary.noMatch, "nomatch"});
  bars.push_back({L"unreadable", L"files that give no machine", summary.unreadable, "unreadable"});
  int largest = 1;
  for (const Bar& bar : bars) largest = std::max(largest, bar.count);
  constexpr int kRow = 30;
  // Narrow, so that its text stays legible in a narrow window.
  std::string svg = "<svg role=\"img\" aria-label=\"Machines per folder\" viewBox=\"0 0 480 " +
                    std::to_string(kRow * static_cast<int>(bars.size()) + 10) +
                    "\" xmlns=\"http://www.w3.org/2000/svg\">";
  int y = 5;
  for (const Bar& bar : bars) {
    int width = bar.count == 0 ? 0 : std::max(2, 230 * bar.count / largest);
    // A long name is cut to fit its column; the bar's title holds it whole.
    std::wstring label = bar.label.size() > 19 ? bar.label.substr(0, 18) + L"\u2026" : bar.label;
    std::string count = std::to_string(bar.count) + " (" + Share(bar.count, total) + ")";
    svg += "<g><title>" + Html(bar.title) + ": " + count + "</title>";
    svg += "<text x=\"0\" y=\"" + std::to_string(y + 19) + "\">" + Html(label) + "</text>";
    svg += "<rect class=\"bar " + std::string(bar.kind) + "\" data-count=\"" + std::to_string(bar.count) +
           "\" x=\"150\" y=\"" + std::to_string(y + 4) + "\" width=\"" + std::to_string(width) +
           "\" height=\"20\"/>";
    svg += "<text x=\"" + std::to_string(158 + width) + "\" y=\"" + std::to_string(y + 19) + "\">" + count +
           "</text></g>";
    y += kRow;
  }
  return svg + "</svg>\n";
}

// The machines that match nothing, by token and platform name, largest
// group first: the entries the kit still lacks.
std::string NoMatchGroups(const std::vector<FleetRow>& rows) {
  std::map<std::pair<std::wstring, std::wstring>, std::vector<const std::wstring*>> groups;
  for (const FleetRow& row : rows) {
    if (!row.error.empty() || !row.decision->folder.empty()) continue;
    const MachineCheck& check = *row.decision;
    groups[{check.hasToken ? L"\u201C" + check.token + L"\u201D" : L"no token",
            check.hasPlatform ? L"\u201C" + check.platformName + L"\u201D" : L"no type 130 structure"}]
        .push_back(&row.name);
  }
  if (groups.empty()) return "<p>Every machine that could be read matches an entry.</p>\n";
  std::vector<std::pair<std::pair<std::wstring, std::wstring>, std::vector<const std::wstring*>>> sorted(
      groups.begin(), groups.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
  std::string html = "<div class=\"wide\"><table class=\"nomatch-groups\"><thead><tr><th>Machines</th>"
                     "<th>BIOS version token</th><th>Platform name</th><th>For example</th></tr></thead><tbody>\n";
  for (const auto& [key, names] : sorted) {
    std::string some;
    for (size_t i = 0; i < names.size() && i < kNamesPerGroup; ++i) some += (i == 0 ? "" : ", ") + Html(*names[i]);
    if (names.size() > kNamesPerGroup) some += " and " + std::to_string(names.size() - kNamesPerGroup) + " more";
    html += "<tr><td class=\"group-count\">" + std::to_string(names.size()) + "</td><td>" + Html(key.first) +
            "</td><td>" + Html(key.second) + "</td><td>" + some + "</td></tr>\n";
  }
  return html + "</tbody></table></div>\n";
}

std::string Findings(const std::vector<KitFinding>& findings) {
  if (findings.empty()) return "<p>None.</p>\n";
  std::vector<const KitFinding*> ordered(findings.size());
  std::transform(findings.begin(), findings.end(), ordered.begin(), [](const KitFinding& f) { return &f; });
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const KitFinding* a, const KitFinding* b) { return a->error && !b->error; });
  std::string html = "<ul class=\"findings\">\n";
  for (const KitFinding* finding : ordered) {
    const char* severity = finding->error ? "error" : "warning";
    html += std::string("<li class=\"finding ") + severity + "\"><span class=\"severity\">" + severity +
            "</span><code>" + Html(finding->code) + "</code> " + Html(finding->file) +
            (finding->line > 0 ? ":" + std::to_string(finding->line) : "") + ": " + Html(finding->message) +
            "</li>\n";
  }
  return html + "</ul>\n";
}

std::string MachineTable(const std::vector<FleetRow>& rows) {
  std::string html = std::string("<details class=\"machines\"") + (rows.size() <= kOpenTableRows ? " open" : "") +
                     "><summary>All " + std::to_string(rows.size()) +
                     " machines</summary>\n<div class=\"wide\"><table><thead><tr><th>Name</th><th>BIOS version</th>"
                     "<th>Platform name</th><th>Token</th><th>Table</th><th>Key</th><th>Folder</th></tr></thead><tbody>\n";
  for (const FleetRow& row : rows) {
    std::vector<std::wstring> cells = FleetCells(row);
    html += "<tr><td>" + Html(cells[0]) + "</td>";
    if (!row.error.empty()) {
      html += "<td colspan=\"6\">cannot be read: " + Html(row.error) + "</td></tr>\n";
      continue;
    }
    for (size_t i = 1; i < cells.size(); ++i) html += "<td>" + Html(cells[i]) + "</td>";
    html += "</tr>\n";
  }
  return html + "</tbody></table></div>\n</details>\n";
}

}  // namespace

std::string FleetPage(const std::wstring& kit, const std::vector<FleetRow>& rows,
                      const std::vector<KitFinding>& findings, int status) {
  FleetSummary summary = SummarizeFleet(rows);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>Thermal maps of " + std::to_string(rows.size()) + " machines</title><style>" + kStyle +
      "</style></head>\n<body>\n<h1>Which thermal maps the machines get</h1>\n";
  html += "<p>Kit: <code class=\"kit\">" + Html(kit) + "</code><br>Machines: <span class=\"machine-count\">" +
          std::to_string(rows.size()) + "</span></p>\n";
  html += std::string("<p class=\"status ") + (status == 0 ? "ok" : "bad") + "\">Exit status <span class=\"exit-status\">" +
          std::to_string(status) + "</span>: " + StatusMeaning(status) + ".</p>\n";
  html += "<h2>Machines per folder</h2>\n" + BarChart(summary, rows.size());
  html += "<h2>Machines with no match</h2>\n" + NoMatchGroups(rows);
  html += "<h2>The kit's findings</h2>\n" + Findings(findings);
  html += "<h2>Machines</h2>\n" + MachineTable(rows);
  return html + "</body></html>\n";
}
