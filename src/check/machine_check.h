// What the installer does on one machine with one kit, found with the
// installer's own functions, and whether the maps it installs are in place.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check/kit_findings.h"
#include "install/deploy.h"

enum class InstalledState { kNotChecked, kInPlace, kDiffers, kNotInstalled };

struct MapCheck {
  const ThermalMapFile* map;
  std::wstring source;  // empty without a folder
  bool sourceExists;
  bool sourceInKit;  // its file lies inside the kit, links followed
  InstalledState installed;  // kNotChecked for a firmware file
};

struct TableCheck {
  std::wstring countText;  // "TOTAL_NUM" as written
  int32_t count;           // as the lookup counts it
  bool lookedUp;
};

struct MachineCheck {
  std::wstring firmware;  // the file, or "this machine"
  std::string format;
  std::string report;  // the installer's report lines, each ending in "\n"
  std::wstring kit;
  std::wstring biosVersion;
  std::wstring platformName;
  std::wstring token;
  std::wstring tag;
  std::wstring folder;   // empty when none was selected
  std::array<TableCheck, 2> tables;  // DMI_Type0_Table, DMI_Type130_Table
  std::array<MapCheck, 2> maps;      // AC, then DC
  std::vector<KitFinding> findings;
  int matchTableType;    // the table whose key matched; meaningful with matchKey
  uint32_t matchKey;     // 0 when no entry matched or nothing was looked up
  int exitStatus;
  bool hasPlatform;  // the table holds a type 130 structure
  bool hasToken;
  bool tableExists;
  bool tagOk;
  bool folderTooLong;  // an entry matched, but its folder's paths do not fit
};

// Reports the raw SMBIOS block of `size` bytes as the installer does,
// capturing the lines and the BIOS texts into `check`.
void ReportFirmwareBlock(const uint8_t* block, uint32_t size, MachineCheck& check);

// Fetches this machine's table and reports it as the installer does, into
// `check`; returns the block (null when there is none) and its size.
const uint8_t* ReportThisMachine(MachineCheck& check, uint32_t& size);

// Takes the kit's decision for the reported machine, as the installer's
// installation stage would, and with `onThisMachine` compares the installed
// maps with the kit's; sets the exit status (the kit's findings aside).
void JudgeMachine(MachineCheck& check, bool onThisMachine);

// Reads the whole file `path` into `bytes`: 1 when it did, 0 when the file
// cannot be read, 2 when it is larger than `limit` bytes.
int ReadWholeFile(const wchar_t* path, std::string& bytes, uint64_t limit);

// Whether `path` names a file, or a folder.
bool IsFile(const wchar_t* path);
bool IsFolder(const wchar_t* path);
