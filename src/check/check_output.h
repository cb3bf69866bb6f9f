// The checker's output for one machine: text for people, JSON for tools.
#pragma once

#include <string>
#include <vector>

#include "check/machine_check.h"

// The report lines, a blank line, then the decision, one finding a line.
std::string MachineCheckText(const MachineCheck& check);

// One JSON object with the fields the text shows, and a line break.
std::string MachineCheckJson(const MachineCheck& check);

// Appends the JSON fields of `decision` of `kit` from "token" to
// "installer", each after a comma, with the installed maps' state. For a
// machine whose platform name is unknown and whose BIOS version prefix
// matched no type 0 entry (`undecided`), they say so instead of a folder.
// A map that `unreadable` (null: none) gives a reason for adds
// "installed_error".
void AppendDecisionJson(std::string& json, const KitSnapshot& kit, const KitDecision& decision,
                        const std::array<InstalledMap, 2>& installed, bool undecided,
                        const std::array<std::string, 2>* unreadable);

// Appends the fields "match", "folder", "no_folder_reason" and "maps" of
// `decision` of `kit`, without a comma before them.
void AppendSelectionJson(std::string& json, const KitSnapshot& kit, const KitDecision& decision,
                         const std::array<InstalledMap, 2>& installed, bool undecided,
                         const std::array<std::string, 2>* unreadable);

// Appends ,"baseline":{"kit", "match", "folder", "no_folder_reason", "maps"}
// of the decision of the baseline kit.
void AppendBaselineJson(std::string& json, const KitSnapshot& baselineKit, const KitDecision& baseline,
                        bool undecided);

// Appends ,"installed", "installed_sha256" and, for a baseline kit's map,
// "baseline_release", or for another map of a kit, "other_map" {"kit",
// "folder", "map"} of `map`.
void AppendInstalledJson(std::string& json, const InstalledMap& map);

// The kit's findings as lines under "Kit findings:", and as a JSON list.
std::string FindingsText(const std::vector<KitFinding>& findings);
std::string FindingsJson(const std::vector<KitFinding>& findings);
