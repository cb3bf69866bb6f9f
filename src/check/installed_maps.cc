#include "check/installed_maps.h"

#include <algorithm>

#include "common/utf8.h"
#include "install/deploy.h"
#include "platform/platform.h"

const char* InstalledStateName(InstalledState state) {
  switch (state) {
    case InstalledState::kInPlace: return "in place";
    case InstalledState::kBaseline: return "baseline";
    case InstalledState::kOtherMap: return "other map";
    case InstalledState::kDiffers: return "differs";
    case InstalledState::kNotInstalled: return "not installed";
    case InstalledState::kUnreadable: return "unreadable";
    case InstalledState::kNotChecked: break;
  }
  return nullptr;
}

KitMapIndex::KitMapIndex(KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines) {
  ReadListedFolders(kit);
  Add(kit);
  for (KitSnapshot* baseline : baselines) {
    ReadListedFolders(*baseline);
    Add(*baseline);
  }
}

void KitMapIndex::Add(const KitSnapshot& kit) {
  // The folders come by name, so the first place of a hash is the same in
  // every run.
  for (const auto& [folder, maps] : kit.folders) {
    for (int i = 0; i < 2; ++i) {
      if (!folder.empty() && maps[i].inKit) places_.try_emplace(maps[i].hash, KitMapPlace{&kit, FolderInKit(folder, kit), i});
    }
  }
}

const KitMapPlace* KitMapIndex::Find(const MapHash& hash) const {
  auto found = places_.find(hash);
  return found == places_.end() ? nullptr : &found->second;
}

InstalledMap JudgeInstalledMap(int map, const MapHash* installed, bool unreadable, const KitDecision* decision,
                               const std::vector<ReleaseDecision>& baselines, const KitMapIndex& index) {
  InstalledMap judged{unreadable ? InstalledState::kUnreadable : InstalledState::kNotInstalled, installed != nullptr,
                      {}, nullptr};
  if (installed == nullptr) return judged;
  judged.hash = *installed;
  const MapHash* inPlace = KitMap(decision, map);
  if (inPlace != nullptr && *inPlace == *installed) {
    judged.state = InstalledState::kInPlace;
    return judged;
  }
  // The newest release whose folder for this machine holds these bytes.
  for (const ReleaseDecision& baseline : baselines) {
    const MapHash* old = KitMap(baseline.decision, map);
    if (old != nullptr && *old == *installed) {
      judged.state = InstalledState::kBaseline;
      judged.baselineKit = baseline.kit;
      return judged;
    }
  }
  judged.other = index.Find(*installed);
  judged.state = judged.other != nullptr ? InstalledState::kOtherMap : InstalledState::kDiffers;
  return judged;
}

void HashInstalledMaps(std::array<bool, 2>& installed, std::array<MapHash, 2>& hashes,
                       std::array<std::string, 2>& unreadable) {
  bool redirectionOff = platform::Wow64EnableWow64FsRedirection(false);
  for (int i = 0; i < 2; ++i) {
    const wchar_t* target = kThermalMapFiles[i].target;
    void* file = platform::CreateFileW(target, platform::FileAccess::kReadExisting);
    // Only a map that is not there at all is "not installed".
    std::string why = file == nullptr ? platform::LastErrorText() : "";
    installed[i] = file != nullptr && HashOpenFile(file, hashes[i]);
    if (file != nullptr && !installed[i]) why = platform::LastErrorText();
    if (file != nullptr) platform::CloseHandle(file);
    uint32_t attributes = platform::GetFileAttributesW(target);
    if (file == nullptr && attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeDirectory) != 0) {
      why = "a folder, not a file";
    }
    bool there = attributes != platform::kInvalidFileAttributes;
    unreadable[i] = !installed[i] && there ? Utf8FromWide(kThermalMapFiles[i].name) + " cannot be read: " + why : "";
  }
  if (redirectionOff) platform::Wow64EnableWow64FsRedirection(true);
}

std::wstring FolderInKit(const std::wstring& folder, const KitSnapshot& kit) {
  if (folder.empty()) return L"";
  std::wstring name = folder.substr(std::min(folder.size(), kit.path.size() + 1));
  return name.empty() ? L"." : name;
}
