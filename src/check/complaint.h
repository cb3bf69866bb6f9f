// What the checker tells its user on standard error.
#pragma once

#include <string>

// Writes `message` to standard error as one line that names the checker:
// "thermalmapcheck: MESSAGE" (ThermalMapCheck on Windows).
void Complain(const std::string& message);
