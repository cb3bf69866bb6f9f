#include "driver/run_sequence.h"

int wmain(int, wchar_t** argv) { return RunInstaller(argv); }
