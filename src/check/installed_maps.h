// What a machine has installed as its thermal maps, judged by their hashes
// against every map that either kit would install.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "check/kit_snapshot.h"
#include "check/map_hash.h"

// An installed map is, in this order: the map of the folder the kit gives
// the machine ("in place"), the map of the folder a baseline kit gives it
// ("baseline": it still has an old release), any other map of any kit
// ("other map": another platform's, or AC and DC swapped), none of them
// ("differs"), or not there ("not installed"); or there, but it cannot be
// read ("unreadable": a lock, a denial, a folder of its name), which says
// nothing of what it holds. kNotChecked: the machine tells nothing of it (a
// firmware file, or Linux).
enum class InstalledState { kNotChecked, kInPlace, kBaseline, kOtherMap, kDiffers, kNotInstalled, kUnreadable };
constexpr size_t kInstalledStates = 7;

// "in place", "baseline", "other map", "differs", "not installed",
// "unreadable"; null for kNotChecked.
const char* InstalledStateName(InstalledState state);

// A map of a kit: the kit, its folder as the entry names it, and which map
// (0 AC, 1 DC).
struct KitMapPlace {
  const KitSnapshot* kit;
  std::wstring folder;
  int map;
};

// An installed map, judged.
struct InstalledMap {
  InstalledState state;
  bool hashed;                // `hash` holds the installed file's hash
  MapHash hash;
  const KitMapPlace* other;   // the map it is, for kOtherMap; in the KitMapIndex that judged it
  const KitSnapshot* baselineKit = nullptr;  // for kBaseline: the newest baseline kit that gives it
};

// What a kit decides for a machine: the kit, and its decision (null where
// none is known).
struct ReleaseDecision {
  const KitSnapshot* kit;
  const KitDecision* decision;
};

// The maps of a machine that tells nothing of them.
inline const std::array<InstalledMap, 2> kUncheckedMaps = {
    InstalledMap{InstalledState::kNotChecked, false, {}, nullptr},
    InstalledMap{InstalledState::kNotChecked, false, {}, nullptr}};

// Every map that either kit would install, by hash; where maps share their
// bytes, the kit's before the baseline kit's, by folder, AC before DC. Only
// machines that report their maps need it: it reads every folder both kits
// list.
class KitMapIndex {
 public:
  KitMapIndex(KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines);

  // The first map whose hash is `hash`, or null.
  const KitMapPlace* Find(const MapHash& hash) const;

 private:
  void Add(const KitSnapshot& kit);

  std::map<MapHash, KitMapPlace> places_;
};

// The hash of map `map` (0 AC, 1 DC) that `decision` (null: none) would
// install, or null.
inline const MapHash* KitMap(const KitDecision* decision, int map) {
  if (decision == nullptr || decision->folder.empty() || !(*decision->maps)[map].inKit) return nullptr;
  return &(*decision->maps)[map].hash;
}

// Map `map` of a machine whose installed file has hash `installed` (null:
// not there, or `unreadable`), judged for the folder `decision` gives it
// (null: none that is known) and the ones `baselines` give it, newest
// first (each null where none is known).
InstalledMap JudgeInstalledMap(int map, const MapHash* installed, bool unreadable, const KitDecision* decision,
                               const std::vector<ReleaseDecision>& baselines, const KitMapIndex& index);

// This machine's installed maps, read with redirection off as the installer
// writes them: `installed[i]` where map i was hashed into `hashes[i]`;
// `unreadable[i]` why map i is there but cannot be read (empty: it could, or
// it is not there).
void HashInstalledMaps(std::array<bool, 2>& installed, std::array<MapHash, 2>& hashes,
                       std::array<std::string, 2>& unreadable);

// The name of `folder` in `kit`, as its entry names it ("." for the kit
// folder itself); empty without a folder.
std::wstring FolderInKit(const std::wstring& folder, const KitSnapshot& kit);
