// The checker over a fleet: many machines, from firmware files, folders of
// them and inventory exports, judged once per distinct pair of BIOS version
// and platform name.
#pragma once

#include <string>
#include <vector>

#include "check/check_options.h"

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
