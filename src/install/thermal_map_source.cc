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

void SelectThermalMapSource(wchar_t* dir) {
  // The BIOS version prefix wins over the platform name.
  const wchar_t* token = FirstVersionToken(BiosVersionText);
  if (FindInPlatformTable(token, 0)) {
    BuildPathBesideProgram(dir, token);
  } else if (FindInPlatformTable(BiosPlatformText, 130)) {
    BuildPathBesideProgram(dir, BiosPlatformText);
  }
}

void InstallThermalMaps() {
  wchar_t ThermalMapSourceDir[kPathCapacity] = {};
  if (!CheckPlatformTableVersion()) return;
  SelectThermalMapSource(ThermalMapSourceDir);
  DeployThermalMaps(ThermalMapSourceDir);
}
