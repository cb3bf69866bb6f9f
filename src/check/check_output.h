// The checker's output for one machine: text for people, JSON for tools.
#pragma once

#include <string>
#include <vector>

#include "check/machine_check.h"

// The report lines, a blank line, then the decision, one finding a line.
std::string MachineCheckText(const MachineCheck& check);

// One JSON object with the fields the text shows, and a line break.
std::string MachineCheckJson(const MachineCheck& check);

// The machine's JSON fields (without braces, findings and exit status),
// with or without the report.
std::string MachineJsonFields(const MachineCheck& check, bool withReport);

// The kit's findings as lines under "Kit findings:", and as a JSON list.
std::string FindingsText(const std::vector<KitFinding>& findings);
std::string FindingsJson(const std::vector<KitFinding>& findings);
