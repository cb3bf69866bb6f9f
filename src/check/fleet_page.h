// A fleet as one self-contained HTML page: its coverage at a glance.
#pragma once

#include <string>
#include <vector>

#include "check/fleet_check.h"
#include "check/kit_findings.h"

// The page for the machines `rows` of kit `kit`, with the kit's findings and
// the exit status: a bar chart of machines per folder, the machines with no
// match grouped by token and platform name, the findings, and every machine
// in a table (closed when there are over 200). Inline CSS and SVG, no
// script, nothing fetched; every text from the firmware, the files or the
// kit is escaped.
std::string FleetPage(const std::wstring& kit, const std::vector<FleetRow>& rows,
                      const std::vector<KitFinding>& findings, int status);
