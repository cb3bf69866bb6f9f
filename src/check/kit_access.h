// Who may change the kit: whoever can decides what the elevated installer
// installs.
#pragma once

#include <vector>

#include "check/kit_findings.h"

// Adds a "kit-writable" warning when the kit folder's access list lets
// Everyone, Users, Authenticated Users or INTERACTIVE create or change files
// in it; none where the system gives no access list.
void CheckKitAccess(std::vector<KitFinding>& findings);
