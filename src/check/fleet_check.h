// The checker over a fleet: many machines, from firmware files, folders of
// them and inventory exports, judged once per distinct pair of BIOS version
// and platform name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "check/check_options.h"
#include "check/machine_check.h"

// A machine of a fleet keeps only what its row needs: the decision is its
// pair's.
struct FleetRow {
  std::wstring name;
  std::string error;  // why the file gives no machine, or empty
  std::wstring firmware;
  const char* format;
  const MachineCheck* decision;  // null with an error
};

// The row's cells: name, BIOS version, platform name, token, table, key,
// folder (all but the name empty for a machine that could not be read).
std::vector<std::wstring> FleetCells(const FleetRow& row);

// The machines per folder, those with no match and those unreadable.
struct FleetSummary {
  std::map<std::wstring, int> perFolder;
  int noMatch = 0;
  int unreadable = 0;
};

FleetSummary SummarizeFleet(const std::vector<FleetRow>& rows);

// A machine of an inventory export: its name (the first column), its BIOS
// version and its platform name (empty: no type 130 structure).
struct InventoryRow {
  std::wstring name;
  std::wstring biosVersion;
  std::wstring platformName;
};

// Reads `bytes` as a CSV file (RFC 4180) whose header holds the columns
// "bios_version" and "platform_name"; false when it is no such file. A row
// without those cells gets an empty name.
bool ParseInventoryCsv(const std::string& bytes, std::vector<InventoryRow>& rows);

// `text` as one CSV field: quoted, with its quotes doubled, when it holds a
// comma, a quote or a line break.
std::string CsvField(const std::string& text);

// Judges every machine that `options.firmware` names and prints one row per
// machine, a summary and the kit's findings; returns the exit status.
int RunFleet(const CheckOptions& options);
