// The checker's output for one machine: text for people, JSON for tools.
#pragma once

#include <string>

#include "check/machine_check.h"

// The report lines, a blank line, then the decision, one finding a line.
std::string MachineCheckText(const MachineCheck& check);

// One JSON object with the fields the text shows, and a line break.
std::string MachineCheckJson(const MachineCheck& check);
