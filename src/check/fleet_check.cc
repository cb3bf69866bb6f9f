#include "check/fleet_check.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>

#include "check/check_output.h"
#include "check/firmware_file.h"
#include "check/fleet_page.h"
#include "check/json_text.h"
#include "check/kit_findings.h"
#include "check/machine_check.h"
#include "common/wide_text.h"
#include "install/platform_table.h"
#include "inventory/bios_decoders.h"
#include "platform/platform.h"

namespace {

// Larger folders show their progress on a console.
constexpr size_t kProgressFrom = 1000;

std::vector<std::vector<std::string>> CsvRecords(const std::string& bytes) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (; at < bytes.size(); ++at) {
    char c = bytes[at];
    std::string& field = records.back().back();
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (at + 1 < bytes.size() && bytes[at + 1] == '"') {
        field += '"';
        ++at;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
      records.emplace_back(1);
    } else {
      field += c;
    }
  }
  if (records.back().size() == 1 && records.back()[0].empty()) records.pop_back();
  return records;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::wstring FileName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The files right inside `folder`, by name.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> files;
  wchar_t name[kPathCapacity];
  bool isFolder = false;
  void* listing = platform::FindFirstFileW((folder + platform::kPathSeparator + L"*").c_str(), name,
                                           kPathCapacity, isFolder);
  if (listing == nullptr) return files;
  do {
    if (!isFolder) files.push_back(folder + platform::kPathSeparator + name);
  } while (platform::FindNextFileW(listing, name, kPathCapacity, isFolder));
  platform::FindClose(listing);
  std::sort(files.begin(), files.end());
  return files;
}

// Judges machines, each distinct pair of BIOS version and platform name once.
class FleetJudge {
 public:
  // The decision for a machine with these texts (no type 130 structure
  // without `hasPlatform`), alive as long as the judge.
  const MachineCheck* Judge(const std::wstring& biosVersion, bool hasPlatform,
                            const std::wstring& platformName) {
    std::wstring pair = biosVersion + L'\n' + (hasPlatform ? L"1" : L"0") + platformName;
    auto judged = decisions_.find(pair);
    if (judged != decisions_.end()) return &judged->second;
    MachineCheck& check = decisions_[pair];
    check.biosVersion = biosVersion;
    check.hasPlatform = hasPlatform;
    check.platformName = platformName;
    CopyWideText(BiosVersionText, ArraySize(BiosVersionText), biosVersion.c_str());
    CopyWideText(BiosPlatformText, ArraySize(BiosPlatformText), platformName.c_str());
    JudgeMachine(check, false);
    return &check;
  }

 private:
  std::map<std::wstring, MachineCheck> decisions_;
};

FleetRow ErrorRow(const std::wstring& name, const std::string& error) {
  return {name, error, L"", nullptr, nullptr};
}

// What reading one file needs, kept from file to file: a fleet then takes
// its buffers from the heap once, not once for each dump.
struct FileScratch {
  std::string bytes;
  FirmwareImage image;
  MachineCheck machine;
};

void AddDump(const std::wstring& path, FileScratch& scratch, FleetJudge& judge,
             std::vector<FleetRow>& rows) {
  FirmwareImage& image = scratch.image;
  ParseFirmwareFile(scratch.bytes, image);
  if (image.error != nullptr) {
    rows.push_back(ErrorRow(
        FileName(path), (image.format != nullptr ? std::string(image.format) + ", " : "") + image.error));
    return;
  }
  MachineCheck& machine = scratch.machine;
  ReportFirmwareBlock(reinterpret_cast<const uint8_t*>(image.block.data()),
                      static_cast<uint32_t>(image.block.size()), machine);
  rows.push_back({FileName(path), "", path, image.format,
                  judge.Judge(machine.biosVersion, machine.hasPlatform, machine.platformName)});
}

void AddFile(const std::wstring& path, FileScratch& scratch, FleetJudge& judge,
             std::vector<FleetRow>& rows) {
  std::string& bytes = scratch.bytes;
  int read = ReadWholeFile(path.c_str(), bytes, kLargestFirmwareFile);
  if (read != 1) {
    rows.push_back(ErrorRow(FileName(path), read == 0 ? "cannot be read"
                                                      : "too large to be a firmware table (over 16 MiB)"));
    return;
  }
  std::vector<InventoryRow> inventory;
  if (!ParseInventoryCsv(bytes, inventory)) {
    AddDump(path, scratch, judge, rows);
    return;
  }
  for (const InventoryRow& machine : inventory) {
    if (machine.name.empty()) {
      rows.push_back(ErrorRow(machine.name, "a row of " + ConsoleText(FileName(path).c_str()) + " lacks its cells"));
      continue;
    }
    rows.push_back({machine.name, "", path, "inventory row",
                    judge.Judge(machine.biosVersion, !machine.platformName.empty(), machine.platformName)});
  }
}

std::string Cell(const std::wstring& text) { return ConsoleText(text.c_str()); }

std::vector<std::string> Cells(const FleetRow& row) {
  std::vector<std::wstring> wide = FleetCells(row);
  std::vector<std::string> cells(wide.size());
  std::transform(wide.begin(), wide.end(), cells.begin(), Cell);
  return cells;
}

bool HasBothMaps(const FleetRow& row) {
  return row.error.empty() && !row.decision->folder.empty() && row.decision->maps[0].sourceInKit &&
         row.decision->maps[1].sourceInKit;
}

std::string TextRows(const std::vector<FleetRow>& rows) {
  std::vector<std::vector<std::string>> table = {
      {"NAME", "BIOS VERSION", "PLATFORM NAME", "TOKEN", "TABLE", "KEY", "FOLDER"}};
  std::transform(rows.begin(), rows.end(), std::back_inserter(table), Cells);
  std::vector<size_t> widths(7, 0);
  for (const auto& cells : table) {
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  }
  std::string text;
  for (size_t r = 0; r < table.size(); ++r) {
    std::string line;
    for (size_t i = 0; i < table[r].size(); ++i) {
      line += table[r][i];
      if (i + 1 < table[r].size()) line += std::string(widths[i] - table[r][i].size() + 2, ' ');
    }
    if (r > 0 && !rows[r - 1].error.empty()) line = Cell(rows[r - 1].name) + "  error: " + rows[r - 1].error;
    text += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
  }
  return text;
}

std::string SummaryText(const FleetSummary& summary) {
  std::string text = "Summary:\n";
  for (const auto& [folder, count] : summary.perFolder) {
    text += "  " + std::to_string(count) + " in " + Cell(folder) + "\n";
  }
  text += "  " + std::to_string(summary.noMatch) + " with no match\n";
  if (summary.unreadable > 0) text += "  " + std::to_string(summary.unreadable) + " unreadable\n";
  return text;
}

std::string FleetJson(const std::vector<FleetRow>& rows, const FleetSummary& summary,
                      const std::vector<KitFinding>& findings, int status) {
  std::string json = "{\"machines\":[";
  for (size_t i = 0; i < rows.size(); ++i) {
    json += i == 0 ? "{\"name\":" : ",{\"name\":";
    AppendJsonString(json, rows[i].name.c_str());
    if (rows[i].error.empty()) {
      MachineCheck machine = *rows[i].decision;
      machine.firmware = rows[i].firmware;
      machine.format = rows[i].format;
      json += "," + MachineJsonFields(machine, false) + "}";
    } else {
      json += ",\"error\":";
      AppendJsonString(json, Widened(rows[i].error).c_str());
      json += "}";
    }
  }
  json += "],\"summary\":{\"machines\":" + std::to_string(rows.size()) + ",\"folders\":[";
  bool first = true;
  for (const auto& [folder, count] : summary.perFolder) {
    json += first ? "{\"folder\":" : ",{\"folder\":";
    first = false;
    AppendJsonString(json, folder.c_str());
    json += ",\"machines\":" + std::to_string(count) + "}";
  }
  json += "],\"no_match\":" + std::to_string(summary.noMatch) +
          ",\"unreadable\":" + std::to_string(summary.unreadable) + "},\"findings\":" +
          FindingsJson(findings) + ",\"exit_status\":" + std::to_string(status) + "}\n";
  return json;
}

void Write(FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace

bool ParseInventoryCsv(const std::string& bytes, std::vector<InventoryRow>& rows) {
  rows.clear();
  // A firmware table is no text: only a first line of cells can be a header.
  size_t headerCell = bytes.find("bios_version");
  if (headerCell == std::string::npos ||
      std::any_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(headerCell),
                  [](char c) { return c == '\r' || c == '\n'; })) {
    return false;
  }
  std::vector<std::vector<std::string>> records = CsvRecords(bytes);
  const std::vector<std::string>& header = records[0];
  auto column = [&header](const char* name) {
    for (size_t i = 0; i < header.size(); ++i) {
      if (Trim(header[i]) == name) return static_cast<int>(i);
    }
    return -1;
  };
  int version = column("bios_version");
  int platform = column("platform_name");
  if (version < 0 || platform < 0) return false;
  size_t needed = static_cast<size_t>(std::max(version, platform)) + 1;
  for (size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& cells = records[r];
    if (cells.size() < needed) {
      rows.push_back({L"", L"", L""});
      continue;
    }
    rows.push_back({Widened(cells[0]), Widened(cells[static_cast<size_t>(version)]),
                    Widened(cells[static_cast<size_t>(platform)])});
  }
  return true;
}

std::vector<std::wstring> FleetCells(const FleetRow& row) {
  if (!row.error.empty()) return {row.name, L"", L"", L"", L"", L"", L""};
  const MachineCheck& check = *row.decision;
  bool matched = check.matchKey != 0;
  return {row.name,
          check.biosVersion,
          check.hasPlatform ? check.platformName : L"",
          check.hasToken ? check.token : L"",
          matched ? PlatformTableSection(check.matchTableType) : L"",
          matched ? std::to_wstring(check.matchKey) : L"",
          check.folder};
}

FleetSummary SummarizeFleet(const std::vector<FleetRow>& rows) {
  FleetSummary summary;
  for (const FleetRow& row : rows) {
    if (!row.error.empty()) {
      ++summary.unreadable;
    } else if (row.decision->folder.empty()) {
      ++summary.noMatch;
    } else {
      ++summary.perFolder[row.decision->folder];
    }
  }
  return summary;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string field = "\"";
  for (char c : text) field += c == '"' ? std::string("\"\"") : std::string(1, c);
  return field + "\"";
}

int RunFleet(const CheckOptions& options) {
  FleetJudge judge;
  FileScratch scratch;
  std::vector<FleetRow> rows;
  // Without firmware files the fleet is this machine.
  if (options.firmware.empty()) {
    uint32_t size = 0;
    if (ReportThisMachine(scratch.machine, size) == nullptr) {
      rows.push_back(ErrorRow(L"this machine", "gives no SMBIOS table that can be read"));
    } else {
      const MachineCheck& machine = scratch.machine;
      rows.push_back({L"this machine", "", L"this machine", "RawSMBIOSData block",
                      judge.Judge(machine.biosVersion, machine.hasPlatform, machine.platformName)});
    }
  }
  for (const std::wstring& input : options.firmware) {
    if (!IsFolder(input.c_str())) {
      AddFile(input, scratch, judge, rows);
      continue;
    }
    std::vector<std::wstring> files = FilesIn(input);
    bool progress = files.size() > kProgressFrom && platform::StandardErrorIsConsole();
    for (size_t i = 0; i < files.size(); ++i) {
      AddFile(files[i], scratch, judge, rows);
      if (progress && (i + 1) % 100 == 0) std::fprintf(stderr, "\r%zu of %zu files", i + 1, files.size());
    }
    if (progress) std::fprintf(stderr, "\r%zu of %zu files\n", files.size(), files.size());
  }

  std::vector<KitFinding> findings = FindKitMistakes();
  bool anyRead = std::any_of(rows.begin(), rows.end(), [](const FleetRow& row) { return row.error.empty(); });
  bool allGood = std::all_of(rows.begin(), rows.end(), HasBothMaps);
  int status = !anyRead ? 3 : HoldsErrors(findings) ? 2 : allGood ? 0 : 1;
  for (const FleetRow& row : rows) {
    if (!row.error.empty()) Write(stderr, "ThermalMapCheck: " + Cell(row.name) + ": " + row.error + "\n");
  }

  FleetSummary summary = SummarizeFleet(rows);
  if (options.format == OutputFormat::kJson) {
    Write(stdout, FleetJson(rows, summary, findings, status));
  } else if (options.format == OutputFormat::kHtml) {
    wchar_t kit[kPathCapacity];
    BuildPathBesideProgram(kit, L"");
    std::wstring folder = kit;
    if (folder.size() > 1) folder.pop_back();  // the separator before the empty name
    Write(stdout, FleetPage(folder, rows, findings, status));
  } else if (options.format == OutputFormat::kCsv) {
    std::string csv = "name,bios_version,platform_name,token,table,key,folder\n";
    for (const FleetRow& row : rows) {
      std::vector<std::string> cells = Cells(row);
      for (size_t i = 0; i < cells.size(); ++i) csv += (i == 0 ? "" : ",") + CsvField(cells[i]);
      csv += "\n";
    }
    Write(stdout, csv);
  } else {
    Write(stdout, FindingsText(findings) + TextRows(rows) + SummaryText(summary) +
                      "Exit status: " + std::to_string(status) + "\n");
  }
  return status;
}
