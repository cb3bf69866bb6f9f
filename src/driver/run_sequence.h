// The run of the installer from its command line.
#pragma once

// Returns 1 when `argument` (possibly null) is the install switch "-I",
// ASCII letter case ignored.
int IsInstallSwitch(const wchar_t* argument);

// Runs the installer for the argument vector `argv` (program name first,
// closed by a null entry): with the install switch first, the firmware
// inventory and then the installation stage. Always returns 0.
int RunInstaller(wchar_t** argv);
