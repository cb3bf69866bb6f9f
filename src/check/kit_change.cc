#include "check/kit_change.h"

namespace {

// What the installer puts in place of map `index` under `decision`: the
// map, by its hash, or nothing (no folder, a failing tag, a missing map, a
// map outside the kit).
const MapHash* Installed(const KitDecision& decision, int index) {
  if (decision.folder.empty()) return nullptr;
  const MapSource& map = (*decision.maps)[index];
  return map.inKit ? &map.hash : nullptr;
}

}  // namespace

KitChange ChangeBetween(const KitDecision& baseline, const KitDecision& decision) {
  bool same = true;
  bool before = false;
  bool after = false;
  for (int i = 0; i < 2; ++i) {
    const MapHash* old = Installed(baseline, i);
    const MapHash* now = Installed(decision, i);
    same = same && (old == nullptr ? now == nullptr : now != nullptr && *old == *now);
    before = before || old != nullptr;
    after = after || now != nullptr;
  }
  if (same) return KitChange::kUnchanged;
  if (!before) return KitChange::kAdded;
  return after ? KitChange::kChanged : KitChange::kRemoved;
}

const char* ChangeName(KitChange change) {
  switch (change) {
    case KitChange::kUnchanged: return "unchanged";
    case KitChange::kAdded: return "added";
    case KitChange::kRemoved: return "removed";
    case KitChange::kChanged: break;
  }
  return "changed";
}
