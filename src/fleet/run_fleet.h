// The checker over a fleet: the machines read one at a time from the
// inputs, judged by the kit and written as they come.
#pragma once

#include "check/check_options.h"
#include "check/kit_snapshot.h"
#include "fleet/inventory_reader.h"

// The inventory columns that `options` names.
InventoryColumns ColumnsOf(const CheckOptions& options);

// Judges every machine that `options.firmware` names (this machine when it
// names none) by `kit`, and by each of `baselines`, newest first, and
// writes them in `options.format`; returns the exit status, that of `kit`.
int RunFleet(const CheckOptions& options, KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines);
