#include "check/check_output.h"

#include "check/json_text.h"
#include "install/platform_table.h"

namespace {

const char* InstalledName(InstalledState state) {
  switch (state) {
    case InstalledState::kInPlace: return "in place";
    case InstalledState::kDiffers: return "differs";
    case InstalledState::kNotInstalled: return "not installed";
    case InstalledState::kNotChecked: break;
  }
  return nullptr;
}

const char* ExitMeaning(int status) {
  switch (status) {
    case 0: return "the machine gets both maps";
    case 1: return "the machine does not get both maps, or they are not in place";
    default: return "the kit is wrong";
  }
}

std::string Quoted(const std::wstring& text) { return "\"" + ConsoleText(text.c_str()) + "\""; }

std::string Wide(const std::wstring& text) { return ConsoleText(text.c_str()); }

// Why no folder was selected, or empty when one was.
std::string NoFolderReason(const MachineCheck& check) {
  if (!check.tableExists) return "the table file is absent";
  if (!check.tagOk) return "the tag fails";
  if (check.folderTooLong) return "the matched folder's paths do not fit 259 characters";
  if (check.folder.empty()) return "no entry matches";
  return "";
}

// What the installer would do with the maps, in one sentence.
std::string InstallerAction(const MachineCheck& check, bool onThisMachine) {
  std::string reason = NoFolderReason(check);
  if (!reason.empty()) return "installs nothing: " + reason;
  std::string action;
  for (const MapCheck& map : check.maps) {
    std::string name = Wide(map.map->name);
    std::string step;
    if (!map.sourceExists) {
      step = "keeps the installed " + name + " (the folder lacks it)";
    } else if (!map.sourceInKit) {
      step = "keeps the installed " + name + " (it lies outside the kit)";
    } else if (map.installed == InstalledState::kInPlace) {
      step = "finds " + name + " in place";
    } else {
      step = (onThisMachine && map.installed == InstalledState::kDiffers ? "replaces " : "installs ") +
             name;
    }
    action += (action.empty() ? "" : ", ") + step;
  }
  return action;
}

std::string TableLine(const MachineCheck& check, int index) {
  const TableCheck& table = check.tables[index];
  std::string line = "  " + Wide(PlatformTableSection(index == 0 ? 0 : 130)) + ": TOTAL_NUM " +
                     Quoted(table.countText) + " counts " + std::to_string(table.count) + "; ";
  if (!check.tagOk) return line + "not looked up (the tag fails)\n";
  if (!table.lookedUp) return line + "not looked up (the BIOS version prefix matched)\n";
  bool matched = check.matchKey != 0 && check.matchTableType == (index == 0 ? 0 : 130);
  if (matched) return line + "key " + std::to_string(check.matchKey) + " matches\n";
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
  bool onThisMachine = check.maps[0].installed != InstalledState::kNotChecked;
  std::string text = check.report + "\n";
  text += "Firmware: " + Wide(check.firmware) + " (" + check.format + ")\n";
  text += "Kit: " + Wide(check.kit) + "\n";
  text += FindingsText(check.findings);
  text += "Decision:\n";
  text += "  Tag: " + Quoted(check.tag) + (check.tagOk ? " passes\n" : " fails\n");
  text += "  BIOS version: " + Quoted(check.biosVersion) + ", token " +
          (check.hasToken ? Quoted(check.token) : "none") + "\n";
  text += TableLine(check, 0);
  text += "  Platform name: " +
          (check.hasPlatform ? Quoted(check.platformName) : "none (no type 130 structure)") + "\n";
  text += TableLine(check, 1);
  std::string reason = NoFolderReason(check);
  text += "  Folder: " + (reason.empty() ? Wide(check.folder) : "none: " + reason) + "\n";
  for (const MapCheck& map : check.maps) {
    text += "  " + Wide(map.map->name) + ": ";
    text += map.source.empty() ? "no source" : Wide(map.source) + (map.sourceExists ? " exists" : " is missing");
    const char* installed = InstalledName(map.installed);
    if (installed != nullptr) text += std::string("; installed: ") + installed;
    text += "\n";
  }
  text += "  The installer " + InstallerAction(check, onThisMachine) + "\n";
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

std::string MachineJsonFields(const MachineCheck& check, bool withReport) {
  bool onThisMachine = check.maps[0].installed != InstalledState::kNotChecked;
  auto string = [](std::string& out, const std::wstring& text) { AppendJsonString(out, text.c_str()); };
  std::string json = "\"firmware\":";
  string(json, check.firmware);
  json += ",\"format\":";
  string(json, Widened(check.format));
  json += ",\"kit\":";
  string(json, check.kit);
  if (withReport) {
    json += ",\"report\":";
    string(json, Widened(check.report));
  }
  json += ",\"bios_version\":";
  string(json, check.biosVersion);
  json += ",\"platform_name\":";
  AppendJsonString(json, check.hasPlatform ? check.platformName.c_str() : nullptr);
  json += ",\"token\":";
  AppendJsonString(json, check.hasToken ? check.token.c_str() : nullptr);
  json += ",\"tag\":{\"value\":";
  string(json, check.tag);
  json += std::string(",\"ok\":") + (check.tagOk ? "true" : "false") + "}";
  json += ",\"tables\":[";
  for (int i = 0; i < 2; ++i) {
    json += i == 0 ? "{\"table\":" : ",{\"table\":";
    AppendJsonString(json, PlatformTableSection(i == 0 ? 0 : 130));
    json += ",\"total_num\":";
    string(json, check.tables[i].countText);
    json += ",\"count\":" + std::to_string(check.tables[i].count) +
            ",\"looked_up\":" + (check.tables[i].lookedUp ? "true" : "false") + "}";
  }
  json += "],\"match\":";
  if (check.matchKey == 0) {
    json += "null";
  } else {
    json += "{\"table\":";
    AppendJsonString(json, PlatformTableSection(check.matchTableType));
    json += ",\"key\":\"" + std::to_string(check.matchKey) + "\"}";
  }
  json += ",\"folder\":";
  AppendJsonString(json, check.folder.empty() ? nullptr : check.folder.c_str());
  json += ",\"no_folder_reason\":";
  std::string reason = NoFolderReason(check);
  AppendJsonString(json, reason.empty() ? nullptr : Widened(reason).c_str());
  json += ",\"maps\":[";
  for (int i = 0; i < 2; ++i) {
    const MapCheck& map = check.maps[i];
    json += i == 0 ? "{\"name\":" : ",{\"name\":";
    AppendJsonString(json, map.map->name);
    json += ",\"source\":";
    AppendJsonString(json, map.source.empty() ? nullptr : map.source.c_str());
    json += std::string(",\"source_exists\":") + (map.sourceExists ? "true" : "false");
    json += ",\"installed\":";
    const char* installed = InstalledName(map.installed);
    AppendJsonString(json, installed != nullptr ? Widened(installed).c_str() : nullptr);
    json += "}";
  }
  json += "],\"installer\":";
  string(json, Widened(InstallerAction(check, onThisMachine)));
  return json;
}

std::string MachineCheckJson(const MachineCheck& check) {
  return "{" + MachineJsonFields(check, true) + ",\"findings\":" + FindingsJson(check.findings) +
         ",\"exit_status\":" + std::to_string(check.exitStatus) + "}\n";
}
