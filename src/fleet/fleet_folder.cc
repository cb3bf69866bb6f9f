#include "fleet/fleet_reading.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>
#include <vector>

#include "check/files.h"
#include "common/utf8.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

// Larger folders show their progress on a console.
constexpr size_t kProgressFrom = 1000;

// Names an entry of a folder that is passed over, unopened or unread: it
// gives no machine, but the run says so.
void PassOver(FleetReading& reading, const std::wstring& path, const char* reason) {
  GiveError(reading, FileName(path), std::string("passed over: ") + reason, true);
}

// An entry of a folder whose final path is `folder`: only a file on a disk
// is opened, and one reached through a link only where it lies inside the
// folder, so that nothing blocks the run and no file beyond the share is
// read.
void ReadFolderEntry(FleetReading& reading, const std::wstring& path, platform::EntryKind kind,
                     const std::wstring& folder) {
  reading.firmware = path;
  ++reading.source;
  if (kind == platform::EntryKind::kOther) {
    return PassOver(reading, path, "not a regular file (a FIFO, a socket, a device, or a link to nothing)");
  }
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadNoWait);
  if (file == nullptr) return GiveError(reading, FileName(path), UnreadableReason(path));
  if (platform::GetFileType(file) != platform::FileType::kDisk) {
    PassOver(reading, path, "not a regular file");
  } else if (kind == platform::EntryKind::kLinkedFile && !LiesInside(FinalPathOf(file), folder)) {
    PassOver(reading, path, "a link to a file outside the folder");
  } else {
    ReadDiskFile(reading, path, file, true);
  }
  platform::CloseHandle(file);
}

// A folder's entries that are no folders: their names one after another in
// `names`, each closed by a zero, and where each starts with its kind, by
// name. A folder of a million dumps costs its names and an offset each.
struct FolderEntries {
  std::wstring names;
  std::vector<std::pair<size_t, platform::EntryKind>> starts;
};

void ListFiles(const std::wstring& folder, FolderEntries& entries) {
  wchar_t name[kPathCapacity];
  platform::EntryKind kind = platform::EntryKind::kOther;
  void* listing = platform::FindFirstFileW((folder + platform::kPathSeparator + L"*").c_str(), name,
                                           kPathCapacity, kind);
  if (listing == nullptr) return;
  do {
    if (kind == platform::EntryKind::kFolder) continue;
    entries.starts.emplace_back(entries.names.size(), kind);
    entries.names += name;
    entries.names += L'\0';
  } while (platform::FindNextFileW(listing, name, kPathCapacity, kind));
  platform::FindClose(listing);
  const std::wstring& names = entries.names;
  std::sort(entries.starts.begin(), entries.starts.end(), [&names](const auto& a, const auto& b) {
    return std::wcscmp(names.data() + a.first, names.data() + b.first) < 0;
  });
}

}  // namespace

void ReadFolder(FleetReading& reading, const std::wstring& folder) {
  FolderEntries entries;
  ListFiles(folder, entries);
  if (entries.starts.empty()) return GiveError(reading, Utf8FromWide(folder.c_str()), "a folder that holds no files");
  std::wstring folderPath;
  if (void* opened = platform::CreateFileW(folder.c_str(), platform::FileAccess::kOpenFolder)) {
    folderPath = FinalPathOf(opened);
    platform::CloseHandle(opened);
  }
  size_t count = entries.starts.size();
  bool progress = count > kProgressFrom && platform::StandardErrorIsConsole();
  const char* which = reading.pass->counting ? ", first reading" : "";
  std::wstring path;
  for (size_t i = 0; i < count; ++i) {
    path.assign(folder);
    path += platform::kPathSeparator;
    path += entries.names.data() + entries.starts[i].first;
    ReadFolderEntry(reading, path, entries.starts[i].second, folderPath);
    if (progress && (i + 1) % 100 == 0) std::fprintf(stderr, "\r%zu of %zu files%s", i + 1, count, which);
  }
  if (progress) std::fprintf(stderr, "\r%zu of %zu files%s\n", count, count, which);
}

