#include "install/thermal_map_source.h"

#include "install/deploy.h"
#include "install/platform_table.h"
#include "inventory/bios_decoders.h"

wchar_t* FirstVersionToken(wchar_t* text) {
  while (*text == L'.') ++text;
  if (*text == L'\0') return nullptr;
  wchar_t* end = text;
  while (*end != L'\0' && *end != L'.') ++end;
  *end = L'\0';
  return text;
}

PlatformMatch SelectThermalMapSource(wchar_t* dir, PlatformTableLookup lookup) {
  // The BIOS version prefix wins over the platform name.
  PlatformMatch match = {0, 0, FirstVersionToken(BiosVersionText)};
  match.key = lookup(match.name, 0);
  if (match.key == 0) {
    match = {130, lookup(BiosPlatformText, 130), BiosPlatformText};
  }
  if (match.key != 0) BuildPathBesideProgram(dir, match.name);
  return match;
}

void InstallThermalMaps() {
  wchar_t ThermalMapSourceDir[kPathCapacity] = {};
  if (!CheckPlatformTableVersion()) return;
  SelectThermalMapSource(ThermalMapSourceDir, FindPlatformTableKey);
  DeployThermalMaps(ThermalMapSourceDir);
}
