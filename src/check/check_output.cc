#include "check/check_output.h"

#include "check/check_options.h"
#include "check/json_text.h"
#include "check/kit_seal.h"
#include "check/kit_change.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

const char* ExitMeaning(int status) {
  switch (status) {
    case 0: return "the machine gets both maps";
    case 1: return "the machine does not get both maps, or they are not in place";
    default: return "the kit is wrong";
  }
}

std::string Quoted(const std::wstring& text) { return "\"" + ConsoleText(text.c_str()) + "\""; }

std::string Wide(const std::wstring& text) { return ConsoleText(text.c_str()); }

// `text` as a JSON string, or null when it is empty.
void AppendJsonUtf8OrNull(std::string& json, const std::string& text) {
  if (text.empty()) {
    json += "null";
  } else {
    AppendJsonUtf8(json, text);
  }
}

// A map of a kit as the text names it: "the kit's MRL02\ThermalMap_AC.ini".
std::string PlaceText(const KitMapPlace& place, const KitSnapshot& kit) {
  const wchar_t separator[] = {platform::kPathSeparator, L'\0'};
  return std::string(place.kit == &kit ? "the kit's " : "the baseline kit's ") +
         Wide(place.folder + separator + kThermalMapFiles[place.map].name);
}

// "; installed: STATE (SHA-256 HEX)" for a map of this machine, with why it
// cannot be read (`why`) where it cannot; nothing for
// a firmware file.
std::string InstalledText(const InstalledMap& map, const KitSnapshot& kit, const std::string& why) {
  const char* state = InstalledStateName(map.state);
  if (state == nullptr) return "";
  std::string text = std::string("; installed: ") + state;
  if (map.other != nullptr) text += ", " + PlaceText(*map.other, kit);
  if (map.hashed) text += " (SHA-256 " + HexOf(map.hash) + ")";
  if (!why.empty()) text += " (" + why + ")";
  return text;
}

// Why no folder was selected, or empty when one was.
std::string NoFolderReason(const KitSnapshot& kit, const KitDecision& decision, bool undecided) {
  if (!kit.tableExists) return "the table file is absent";
  if (!kit.tagOk) return "the tag fails";
  if (undecided) {
    return "undecided: no type 0 entry matches, and the export gives no platform name to look up";
  }
  if (decision.folderTooLong) return "the matched folder's paths do not fit 259 characters";
  if (decision.folder.empty()) return "no entry matches";
  return "";
}

// What the installer would do with the maps, in one sentence.
std::string InstallerAction(const KitSnapshot& kit, const KitDecision& decision,
                            const std::array<InstalledMap, 2>& installed, bool undecided) {
  std::string reason = NoFolderReason(kit, decision, undecided);
  if (undecided && kit.tagOk) return "installs what the platform name decides";
  if (!reason.empty()) return "installs nothing: " + reason;
  std::string action;
  for (int i = 0; i < 2; ++i) {
    const MapSource& map = (*decision.maps)[i];
    std::string name = Wide(kThermalMapFiles[i].name);
    std::string step;
    if (!map.exists) {
      step = "keeps the installed " + name + " (the folder lacks it)";
    } else if (!map.inKit) {
      step = "keeps the installed " + name + " (it lies outside the kit)";
    } else if (installed[i].state == InstalledState::kInPlace) {
      step = "finds " + name + " in place";
    } else {
      step = (installed[i].hashed ? "replaces " : "installs ") + name;
    }
    action += (action.empty() ? "" : ", ") + step;
  }
  return action;
}

// Whether the selection looked the table up: the type 0 table whenever the
// tag passes, the type 130 table when no type 0 entry matched.
bool LookedUp(const KitSnapshot& kit, const KitDecision& decision, int index, bool undecided) {
  if (!kit.tagOk) return false;
  return index == 0 || (!undecided && decision.matchTableType == 130);
}

std::string TableLine(const MachineCheck& check, int index) {
  const TableCount& table = check.kit->tables[index];
  const KitDecision& decision = check.decision;
  std::string line = "  " + Wide(PlatformTableSection(index == 0 ? 0 : 130)) + ": TOTAL_NUM " +
                     Quoted(table.text) + " counts " + std::to_string(table.count) + "; ";
  if (!check.kit->tagOk) return line + "not looked up (the tag fails)\n";
  if (!LookedUp(*check.kit, decision, index, false)) {
    return line + "not looked up (the BIOS version prefix matched)\n";
  }
  bool matched = decision.matchKey != 0 && decision.matchTableType == (index == 0 ? 0 : 130);
  if (matched) return line + "key " + std::to_string(decision.matchKey) + " matches\n";
  return line + "no key matches\n";
}

}  // namespace

std::string FindingsText(const std::vector<KitFinding>& findings) {
  std::string text = findings.empty() ? "Kit findings: none\n" : "Kit findings:\n";
  for (const KitFinding& finding : findings) {
    text += "  " + Wide(finding.file) + (finding.line > 0 ? ":" + std::to_string(finding.line) : "") +
            ": " + (finding.error ? "error " : "warning ") + finding.code + ": " + finding.message + "\n";
  }
  return text;
}

std::string MachineCheckText(const MachineCheck& check) {
  const KitSnapshot& kit = *check.kit;
  const KitDecision& decision = check.decision;
  std::string text = check.report + "\n";
  text += "Firmware: " + Wide(check.firmware) + " (" + check.format + ")\n";
  text += "Kit: " + Wide(kit.path) + " (" + KitIdentityText(kit) + ")\n";
  text += FindingsText(check.findings);
  text += "Decision:\n";
  text += "  Tag: " + Quoted(kit.tag) + (kit.tagOk ? " passes\n" : " fails\n");
  text += "  BIOS version: " + Quoted(check.biosVersion) + ", token " +
          (decision.hasToken ? Quoted(decision.token) : "none") + "\n";
  text += TableLine(check, 0);
  text += "  Platform name: " +
          (check.hasPlatform ? Quoted(check.platformName) : "none (no type 130 structure)") + "\n";
  text += TableLine(check, 1);
  std::string reason = NoFolderReason(kit, decision, false);
  text += "  Folder: " + (reason.empty() ? Wide(decision.folder) : "none: " + reason) + "\n";
  for (int i = 0; i < 2; ++i) {
    const MapSource& map = (*decision.maps)[i];
    text += "  " + Wide(kThermalMapFiles[i].name) + ": ";
    text += map.source.empty() ? "no source" : Wide(map.source) + (map.exists ? " exists" : " is missing");
    text += InstalledText(check.installed[i], kit, check.unreadable[i]) + "\n";
  }
  text += "  The installer " + InstallerAction(kit, decision, check.installed, false) + "\n";
  if (check.baselineKit != nullptr) {
    const KitSnapshot& baselineKit = *check.baselineKit;
    text += "Baseline kit: " + Wide(baselineKit.path) + " (" + KitIdentityText(baselineKit) + ")\n";
    text += "  Tag: " + Quoted(baselineKit.tag) + (baselineKit.tagOk ? " passes\n" : " fails\n");
    std::string baselineReason = NoFolderReason(baselineKit, check.baseline, false);
    text += "  Folder: " + (baselineReason.empty() ? Wide(check.baseline.folder) : "none: " + baselineReason) + "\n";
    text += "  The installer " +
            InstallerAction(baselineKit, check.baseline, kUncheckedMaps, false) +
            "\n";
    text += "Change from release " + ReleaseText(baselineKit) + " to release " + ReleaseText(kit) + ": " +
            ChangeName(ChangeBetween(check.baseline, decision)) + "\n";
  }
  text += "Exit status: " + std::to_string(check.exitStatus) + " (" + ExitMeaning(check.exitStatus) +
          ")\n";
  return text;
}

std::string FindingsJson(const std::vector<KitFinding>& findings) {
  std::string json = "[";
  for (size_t i = 0; i < findings.size(); ++i) {
    const KitFinding& finding = findings[i];
    json += std::string(i == 0 ? "" : ",") + "{\"severity\":\"" + (finding.error ? "error" : "warning") +
            "\",\"code\":\"" + finding.code + "\",\"file\":";
    AppendJsonString(json, finding.file.c_str());
    json += ",\"line\":" + (finding.line > 0 ? std::to_string(finding.line) : std::string("null")) +
            ",\"message\":";
    AppendJsonString(json, Widened(finding.message).c_str());
    json += "}";
  }
  return json + "]";
}

void AppendInstalledJson(std::string& json, const InstalledMap& map) {
  json += ",\"installed\":";
  const char* state = InstalledStateName(map.state);
  AppendJsonUtf8OrNull(json, state != nullptr ? state : "");
  json += ",\"installed_sha256\":";
  AppendJsonUtf8OrNull(json, map.hashed ? HexOf(map.hash) : "");
  if (map.baselineKit != nullptr) {
    json += ",\"baseline_release\":";
    AppendJsonUtf8(json, map.baselineKit->release);
  }
  if (map.other != nullptr) {
    json += ",\"other_map\":{\"kit\":";
    AppendJsonString(json, map.other->kit->path.c_str());
    json += ",\"folder\":";
    AppendJsonString(json, map.other->folder.c_str());
    json += ",\"map\":";
    AppendJsonString(json, kThermalMapFiles[map.other->map].name);
    json += "}";
  }
}

void AppendDecisionJson(std::string& json, const KitSnapshot& kit, const KitDecision& decision,
                        const std::array<InstalledMap, 2>& installed, bool undecided,
                        const std::array<std::string, 2>* unreadable) {
  auto string = [&json](const std::wstring& text) { AppendJsonString(json, text.c_str()); };
  json += ",\"token\":";
  AppendJsonString(json, decision.hasToken ? decision.token.c_str() : nullptr);
  json += ",\"tag\":{\"value\":";
  string(kit.tag);
  json += std::string(",\"ok\":") + (kit.tagOk ? "true" : "false") + "}";
  json += ",\"tables\":[";
  for (int i = 0; i < 2; ++i) {
    json += i == 0 ? "{\"table\":" : ",{\"table\":";
    AppendJsonString(json, PlatformTableSection(i == 0 ? 0 : 130));
    json += ",\"total_num\":";
    string(kit.tables[i].text);
    json += ",\"count\":" + std::to_string(kit.tables[i].count) +
            ",\"looked_up\":" + (LookedUp(kit, decision, i, undecided) ? "true" : "false") + "}";
  }
  json += "],";
  AppendSelectionJson(json, kit, decision, installed, undecided, unreadable);
  json += ",\"installer\":";
  string(Widened(InstallerAction(kit, decision, installed, undecided)));
}

void AppendSelectionJson(std::string& json, const KitSnapshot& kit, const KitDecision& decision,
                         const std::array<InstalledMap, 2>& installed, bool undecided,
                         const std::array<std::string, 2>* unreadable) {
  json += "\"match\":";
  if (decision.matchKey == 0 || undecided) {
    json += "null";
  } else {
    json += "{\"table\":";
    AppendJsonString(json, PlatformTableSection(decision.matchTableType));
    json += ",\"key\":\"" + std::to_string(decision.matchKey) + "\"}";
  }
  json += ",\"folder\":";
  AppendJsonString(json, decision.folder.empty() || undecided ? nullptr : decision.folder.c_str());
  json += ",\"no_folder_reason\":";
  std::string reason = NoFolderReason(kit, decision, undecided);
  AppendJsonString(json, reason.empty() ? nullptr : Widened(reason).c_str());
  json += ",\"maps\":[";
  for (int i = 0; i < 2; ++i) {
    const MapSource& map = (*decision.maps)[i];
    bool shown = !undecided && !map.source.empty();
    json += i == 0 ? "{\"name\":" : ",{\"name\":";
    AppendJsonString(json, kThermalMapFiles[i].name);
    json += ",\"source\":";
    AppendJsonString(json, shown ? map.source.c_str() : nullptr);
    json += std::string(",\"source_exists\":") + (shown && map.exists ? "true" : "false");
    AppendInstalledJson(json, installed[i]);
    if (unreadable != nullptr && !(*unreadable)[i].empty()) {
      json += ",\"installed_error\":";
      AppendJsonUtf8(json, (*unreadable)[i]);
    }
    json += ",\"source_sha256\":";
    AppendJsonUtf8OrNull(json, shown && map.inKit ? HexOf(map.hash) : "");
    json += "}";
  }
  json += "]";
}

std::string MachineCheckJson(const MachineCheck& check) {
  auto string = [](std::string& out, const std::wstring& text) { AppendJsonString(out, text.c_str()); };
  std::string json = "{\"firmware\":";
  string(json, check.firmware);
  json += ",\"format\":";
  string(json, Widened(check.format));
  json += ",\"kit\":";
  string(json, check.kit->path);
  AppendKitIdentityJson(json, "kit_", *check.kit);
  json += ",\"report\":";
  string(json, Widened(check.report));
  json += ",\"bios_version\":";
  string(json, check.biosVersion);
  json += ",\"platform_name\":";
  AppendJsonString(json, check.hasPlatform ? check.platformName.c_str() : nullptr);
  AppendDecisionJson(json, *check.kit, check.decision, check.installed, false, &check.unreadable);
  if (check.baselineKit != nullptr) {
    AppendBaselineJson(json, *check.baselineKit, check.baseline, false);
    json += ",\"change\":\"" + std::string(ChangeName(ChangeBetween(check.baseline, check.decision))) + "\"";
  }
  return json + ",\"checker_version\":\"" + CheckerVersion() + "\",\"findings\":" + FindingsJson(check.findings) +
         ",\"exit_status\":" + std::to_string(check.exitStatus) + "}\n";
}

void AppendBaselineJson(std::string& json, const KitSnapshot& baselineKit, const KitDecision& baseline,
                        bool undecided) {
  json += ",\"baseline\":{\"kit\":";
  AppendJsonString(json, baselineKit.path.c_str());
  AppendKitIdentityJson(json, "kit_", baselineKit);
  json += ",";
  AppendSelectionJson(json, baselineKit, baseline, kUncheckedMaps, undecided, nullptr);
  json += "}";
}
