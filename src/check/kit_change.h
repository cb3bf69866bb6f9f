// What a new kit changes on a machine against the kit it replaces: not the
// names, but what the installer would put in place of each map.
#pragma once

#include "check/kit_snapshot.h"

enum class KitChange { kUnchanged, kAdded, kRemoved, kChanged };

// The change from `baseline` to `decision`, each the decision of its own
// kit: "unchanged" when both maps would be the same under both (the same
// bytes, or nothing both times), "added" when the baseline installs nothing
// and the new kit something, "removed" the other way round, else "changed".
KitChange ChangeBetween(const KitDecision& baseline, const KitDecision& decision);

// "unchanged", "added", "removed" or "changed".
const char* ChangeName(KitChange change);
