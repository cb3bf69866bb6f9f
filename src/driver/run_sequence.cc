#include "driver/run_sequence.h"

#include "install/thermal_map_source.h"
#include "inventory/smbios_table.h"

int IsInstallSwitch(const wchar_t* argument) {
  return argument != nullptr && argument[0] == L'-' &&
         (argument[1] == L'I' || argument[1] == L'i') && argument[2] == L'\0';
}

int RunInstaller(wchar_t** argv) {
  // The vector's closing null entry marks a missing switch; an empty vector
  // has no second entry to look at.
  if (argv[0] == nullptr || !IsInstallSwitch(argv[1])) return 0;
  // A failed inventory leaves the captured texts empty; the stage still runs.
  ReadSmbiosTable();
  InstallThermalMaps();
  return 0;
}
