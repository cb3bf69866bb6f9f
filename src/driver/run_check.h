// The checker's run from its command line.
#pragma once

// Runs ThermalMapCheck for `argv` (program name first, closed by a null
// entry) and returns its exit status. Changes nothing on the machine but
// the file that --dump names.
int RunCheck(wchar_t** argv);
