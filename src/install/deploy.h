// The copy of a platform's thermal maps into the driver directory.
#pragma once

#include <cstddef>

// A thermal map: its file name in a source folder, its installed name, and
// the name beside it that a new map is copied to before it replaces the
// installed one.
struct ThermalMapFile {
  const wchar_t* name;
  const wchar_t* target;
  const wchar_t* temporary;
};

// The AC map, then the DC map.
extern const ThermalMapFile kThermalMapFiles[2];

// Writes `dir`, a path separator and the map's name into `source` (`capacity`
// characters, always terminated); returns 0 when it was cut.
int BuildThermalMapSourceName(wchar_t* source, size_t capacity, const wchar_t* dir,
                              const ThermalMapFile& map);

// 1 when the final path of the open file `file` (links resolved) lies inside
// the final path of the program's folder, the kit; 0 when it lies outside,
// or either has no final path.
int ThermalMapSourceInKit(void* file);

// Installs "ThermalMap_AC.ini" and then "ThermalMap_DC.ini" from folder
// `dir` into "C:\Windows\System32\drivers\UMDF\", each replacing the map
// there whole or leaving it as it was, never read-only or hidden, with
// WOW64 redirection switched off around the copies. Copies nothing when
// `dir` is empty or redirection cannot be switched off, and no map whose
// file lies outside the kit.
void DeployThermalMaps(const wchar_t* dir);
