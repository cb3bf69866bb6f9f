// What the installer reads of a kit, read once: the table's tag and counts,
// every entry its lookups can find, and the maps of each folder. Machines are
// then decided from memory by the installer's own selection, so that a fleet
// costs the kit's reads once, not once per machine.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "check/kit_findings.h"
#include "check/map_hash.h"

// A map of a folder, as the installer finds it.
struct MapSource {
  std::wstring source;  // its path; empty without a folder
  bool exists;
  // The installer's open finds its file inside the kit, links followed, and
  // it can be read: the installer would install it.
  bool inKit;
  MapHash hash;  // of what the installer copies of it, when inKit
};

struct TableCount {
  std::wstring text;  // "TOTAL_NUM" as written
  int32_t count;      // as the lookup counts it
};

// What the installer does with a machine of one BIOS version token and
// platform name.
struct KitDecision {
  std::wstring token;
  bool hasToken;
  int matchTableType;  // the table whose key matched; meaningful with matchKey
  uint32_t matchKey;   // 0 when no entry matched or nothing was looked up
  std::wstring folder;  // empty when none was selected
  bool folderTooLong;   // an entry matched, but its folder's paths do not fit
  const std::array<MapSource, 2>* maps;  // AC, then DC: the folder's, in its kit
};

struct KitSnapshot {
  std::wstring useFolder;  // as UseKitFolder takes it: empty for the program's own folder
  std::wstring path;       // the kit's folder, for the output
  bool tableExists;
  std::wstring tag;
  bool tagOk;
  std::array<TableCount, 2> tables;  // DMI_Type0_Table, DMI_Type130_Table
  // Each table's entries: the first key whose entry reads as the text.
  std::array<std::unordered_map<std::wstring, uint32_t>, 2> entries;
  // The maps of the folders selected so far, or of every folder an entry
  // names once ReadListedFolders read them.
  std::map<std::wstring, std::array<MapSource, 2>> folders;
  // Its identity, as ReadKitSeal gives it: the release its seal names (else
  // its folder's name), the fingerprint of its files, whether SHA256SUMS
  // seals it, and where its files are not what the seal lists.
  std::string release;
  MapHash fingerprint;
  bool sealed;
  std::vector<KitFinding> sealFindings;
};

// Makes `kit` the kit in use, for the functions that read the kit in use.
void UseKit(const KitSnapshot& kit);

// Reads the kit in folder `useFolder` (a full path, or empty for the
// program's own folder) into `kit`, and leaves it the kit in use. Returns
// false, with the program's folder in use, when its paths do not fit.
bool ReadKitSnapshot(const std::wstring& useFolder, KitSnapshot& kit);

// Reads the maps of every folder that an entry of `kit` names, each opened
// and hashed once, and leaves `kit` the kit in use.
void ReadListedFolders(KitSnapshot& kit);

// The installer's decision for a machine whose BIOS version and platform
// name (empty without a type 130 structure) are these texts, cut as the
// capture buffers cut them, over `kit`. Leaves `kit` the kit in use.
KitDecision DecideWithKit(KitSnapshot& kit, const wchar_t* biosVersion, const wchar_t* platformName);

// The maps of `folder` in the kit in use, each checked as the installer's
// open checks it.
std::array<MapSource, 2> FindFolderMaps(const wchar_t* folder);
