// The page's section on the maps the machines report as installed.
#include "check/installed_maps.h"
#include "common/utf8.h"
#include "fleet/page_parts.h"
#include "install/deploy.h"
#include "platform/platform.h"

namespace {

// The CSS class of each state's bars, by InstalledState.
constexpr const char* kStateKinds[kInstalledStates] = {"", "inplace", "baseline", "othermap", "differs",
                                                       "notinstalled", "unreadablemap"};

// The CSS class of each word's bar, by kReleaseWords.
constexpr const char* kReleaseWordKinds[kReleaseWordCount] = {"othermap", "differs", "notinstalled",
                                                              "unreadablemap"};

// What was found of a map: its state, and which map it is when it is
// another map of a kit.
std::string Found(InstalledState state, const KitMapPlace* other, const KitSnapshot& kit) {
  std::string text = InstalledStateName(state);
  if (other == nullptr) return text;
  const wchar_t separator[] = {platform::kPathSeparator, L'\0'};
  return text + ": " + (other->kit == &kit ? "the kit" : "release " + Html(other->kit->release)) + "'s " +
         Html(other->folder + separator + kThermalMapFiles[other->map].name);
}

}  // namespace

std::string InstalledSection(const FleetJudge& judge, const FleetSummary& summary) {
  std::string html = "<h2>What is installed</h2>\n<p><span class=\"reporting-count\">" +
                     std::to_string(summary.reportingInstalled) +
                     "</span> machines report their installed maps.</p>\n";
  // Which release each machine has comes first: it is what people ask.
  std::vector<Bar> releases;
  for (size_t release = 0; release < summary.releases.size(); ++release) {
    const KitSnapshot* kit = judge.ReleaseKit(release);
    std::wstring name = WideFromUtf8(judge.ReleaseName(release));
    size_t word = kit != nullptr ? 0 : release - judge.baselines().size() - 1;
    const char* kind = release == 0 ? "inplace" : kit != nullptr ? "baseline"
                                                : kReleaseWordKinds[word];
    releases.push_back({kit != nullptr ? L"release " + name : name, kit != nullptr ? L"release " + name : name,
                        summary.releases[release], kind});
  }
  html += Bars(releases, summary.reportingInstalled, "Machines per release");
  std::vector<Bar> bars;
  for (int i = 0; i < 2; ++i) {
    for (size_t state = 1; state < kInstalledStates; ++state) {
      std::wstring label = std::wstring(i == 0 ? L"AC " : L"DC ") +
                           WideFromUtf8(InstalledStateName(static_cast<InstalledState>(state)));
      bars.push_back({label, kThermalMapFiles[i].name + (L": " + label.substr(3)), summary.installed[i][state],
                      kStateKinds[state]});
    }
  }
  html += Bars(bars, summary.reportingInstalled, "Installed maps per state");
  std::vector<InstalledGroup> groups = judge.InstalledGroups();
  if (groups.empty()) return html + "<p>Every machine that reports its maps has both in place.</p>\n";
  html += "<div class=\"wide\"><table class=\"installed-groups\"><thead><tr><th>Machines</th>"
          "<th>The kit's folder</th><th>ThermalMap_AC.ini</th><th>ThermalMap_DC.ini</th><th>For example</th>"
          "</tr></thead><tbody>\n";
  for (size_t g = 0; g < groups.size() && g < kListedGroups; ++g) {
    const InstalledGroup& group = groups[g];
    html += "<tr><td class=\"group-count\">" + std::to_string(group.machines) + "</td><td>" +
            (group.folder.empty() ? std::string("no folder") : Html(group.folder)) + "</td>";
    for (int i = 0; i < 2; ++i) html += "<td>" + Found(group.states[i], group.others[i], judge.kit()) + "</td>";
    html += "<td>" + SomeNames(*group.names, group.machines) + "</td></tr>\n";
  }
  html += "</tbody></table></div>\n";
  if (groups.size() > kListedGroups) {
    html += "<p>And " + std::to_string(groups.size() - kListedGroups) + " smaller groups.</p>\n";
  }
  return html;
}
