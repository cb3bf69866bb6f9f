// The choice of the folder beside the program that holds this platform's
// thermal maps, and the installation stage of the run.
#pragma once

#include <cstdint>

// The table entry that selected the folder: the table's SMBIOS type, the
// number of its key (0 when neither table lists the platform) and the text
// it matched, which names the folder.
struct PlatformMatch {
  int tableType;
  uint32_t key;
  const wchar_t* name;
};

// Gives the key of the table of SMBIOS type `tableType` whose entry equals
// `value`, as FindPlatformTableKey does (the checker answers from a kit it
// read once).
using PlatformTableLookup = uint32_t (*)(const wchar_t* value, int tableType);

// Writes into `dir` (260 characters) the folder beside the program named
// after the first dot-separated token of BiosVersionText when `lookup` finds
// it in the type 0 table, else after BiosPlatformText when it finds that in
// the type 130 table; leaves `dir` untouched when neither is listed. Cuts
// BiosVersionText at the dot after its first token. Returns the entry that
// matched, or the type 130 lookup that did not.
PlatformMatch SelectThermalMapSource(wchar_t* dir, PlatformTableLookup lookup);

// Cuts `text` in place after its first token, with "." the only delimiter,
// and returns the token; null when the text is empty or only dots.
wchar_t* FirstVersionToken(wchar_t* text);

// The installation stage: checks the table's format tag, selects the source
// folder and deploys its thermal maps.
void InstallThermalMaps();
