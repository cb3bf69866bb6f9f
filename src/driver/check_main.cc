#include "driver/run_check.h"

int wmain(int, wchar_t** argv) { return RunCheck(argv); }
