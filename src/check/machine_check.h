// What the installer does on one machine with one kit, found with the
// installer's own functions, and whether the maps it installs are in place.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check/installed_maps.h"
#include "check/kit_findings.h"
#include "check/kit_snapshot.h"

struct MachineCheck {
  std::wstring firmware;  // the file, or "this machine"
  std::string format;
  std::string report;  // the installer's report lines, each ending in "\n"
  std::wstring biosVersion;
  std::wstring platformName;
  bool hasPlatform;  // the table holds a type 130 structure
  const KitSnapshot* kit;
  KitDecision decision;
  const KitSnapshot* baselineKit;  // null unless the kit is compared with one it replaces
  KitDecision baseline;            // the baseline kit's decision
  std::array<InstalledMap, 2> installed;  // kNotChecked for a firmware file
  std::array<std::string, 2> unreadable;  // why an installed map that is there cannot be read
  std::vector<KitFinding> findings;
  int exitStatus;
};

// Reports the raw SMBIOS block of `size` bytes as the installer does,
// capturing the lines (unless `withLines` is false) and the BIOS texts into
// `check`.
void ReportFirmwareBlock(const uint8_t* block, uint32_t size, MachineCheck& check, bool withLines);

// Fetches this machine's table and reports it as the installer does, into
// `check`; returns the block (null when there is none) and its size.
const uint8_t* ReportThisMachine(MachineCheck& check, uint32_t& size);

// Takes the decision of `kit` for the reported machine, as the installer's
// installation stage would, and that of the first of `baselines`, the kit it
// replaces; on this machine (`kitMaps` not null) judges the installed maps
// against the maps of every kit, which `check` points into. Sets the exit
// status (the kit's findings aside).
void JudgeMachine(MachineCheck& check, KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines,
                  const KitMapIndex* kitMaps);

// Whether the installer installs both maps of `decision`.
bool InstallsBothMaps(const KitDecision& decision);
