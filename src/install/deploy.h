// The copy of a platform's thermal maps into the driver directory.
#pragma once

// Installs "ThermalMap_AC.ini" and then "ThermalMap_DC.ini" from folder
// `dir` into "C:\Windows\System32\drivers\UMDF\", each replacing the map
// there whole or leaving it as it was, never read-only or hidden, with
// WOW64 redirection switched off around the copies. Copies nothing when
// `dir` is empty or redirection cannot be switched off.
void DeployThermalMaps(const wchar_t* dir);
