#include "fleet/fleet_sources.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "check/complaint.h"
#include "check/files.h"
#include "check/json_text.h"
#include "check/machine_check.h"
#include "common/utf8.h"
#include "fleet/export_start.h"
#include "install/platform_table.h"
#include "inventory/firmware_file.h"
#include "platform/platform.h"

namespace {

// Larger folders show their progress on a console.
constexpr size_t kProgressFrom = 1000;

// What reading the inputs keeps from one to the next, so that a fleet takes
// its buffers from the heap once, not once for each file.
struct FleetReading {
  const InventoryColumns* columns = nullptr;
  MachineSink take = nullptr;
  void* context = nullptr;
  FleetMachine machine{};
  std::string name;    // the texts the machine's views show, where no buffer
  std::string error;   // of the reader holds them
  std::string biosVersion;
  std::string platformName;
  std::wstring firmware;
  std::string bytes;  // a file's bytes, or the start of an export
  FirmwareImage image{};
  MachineCheck report{};
  InventoryReader reader{nullptr, nullptr};
  InventoryRow row{};
  bool saidNoPlatforms = false;
  bool saidNoHashes = false;
};

// An open file whose start was read already: the start first, then the rest.
struct FileBytes {
  const std::string* start;
  size_t at;
  void* file;
};

size_t ReadFileBytes(void* context, char* buffer, size_t size) {
  auto* source = static_cast<FileBytes*>(context);
  if (source->at < source->start->size()) {
    size_t count = std::min(size, source->start->size() - source->at);
    std::copy_n(source->start->data() + source->at, count, buffer);
    source->at += count;
    return count;
  }
  uint32_t count = 0;
  if (source->file == nullptr) return 0;
  if (!platform::ReadFile(source->file, buffer, static_cast<uint32_t>(std::min<size_t>(size, 1 << 20)), count)) {
    return kInventoryReadFailed;
  }
  return count;
}

std::string FileName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return Utf8FromWide((slash == std::wstring::npos ? path : path.substr(slash + 1)).c_str());
}

void Give(FleetReading& reading) { reading.take(reading.machine, reading.context); }

void GiveError(FleetReading& reading, std::string_view name, const std::string& error, bool passedOver = false) {
  reading.name = name;
  reading.error = error;
  reading.machine = FleetMachine{};
  reading.machine.name = reading.name;
  reading.machine.error = reading.error;
  reading.machine.passedOver = passedOver;
  reading.machine.firmware = &reading.firmware;
  Give(reading);
}

// Reads the installed maps' hashes of `row` into `machine`; why they cannot
// be read, or empty.
std::string ReadInstalledHashes(const InventoryRow& row, FleetMachine& machine) {
  for (int i = 0; i < 2; ++i) {
    std::string_view cell = row.cells[i == 0 ? kAcSha256Column : kDcSha256Column];
    machine.installed[i] = !cell.empty();
    if (machine.installed[i] && !ParseHex(cell, machine.installedHash[i])) {
      return std::string(i == 0 ? "ac_sha256" : "dc_sha256") + " is not 64 hexadecimal digits";
    }
  }
  return "";
}

// The first header name that holds "hash" or "sha" in any letter case, or
// empty.
std::string HashLikeColumn(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (lower.find("hash") != std::string::npos || lower.find("sha") != std::string::npos) return name;
  }
  return "";
}

// Where a failed read ended an export.
std::string ReadFailure(const InventoryReader& reader) {
  return "a read failed after byte " + std::to_string(reader.BytesRead()) + ", in line " +
         std::to_string(reader.Line()) + ": the rows from there on are not judged";
}

// The rows of an export whose first bytes are reading.bytes, the rest in
// `file` (null: none).
void ReadExport(FleetReading& reading, const std::wstring& path, void* file) {
  FileBytes source{&reading.bytes, 0, file};
  InventoryReader& reader = reading.reader;
  reader.Start(ReadFileBytes, &source);
  std::string name = path == kStandardInput ? "standard input" : FileName(path);
  InventoryHeader header = reader.ReadHeader(*reading.columns);
  if (reader.ReadFailed()) return GiveError(reading, name, ReadFailure(reader));
  if (header != InventoryHeader::kRead) return GiveError(reading, name, HeaderMistake(header, reader, *reading.columns));
  const std::string& platformColumn = reading.columns->platformName;
  if (!platformColumn.empty() && !reader.HasColumn(kPlatformNameColumn)) {
    return GiveError(reading, name,
                     "its header has no column \"" + platformColumn + "\"; its columns are " +
                         ColumnList(reader.HeaderNames()) +
                         ": name the one that holds the platform name with --column platform_name=NAME");
  }
  if (!reader.HasColumn(kPlatformNameColumn) && !reading.saidNoPlatforms) {
    reading.saidNoPlatforms = true;
    Complain(ConsoleText(WideFromUtf8(name).c_str()) + " has no platform_name column (its columns are " + ColumnList(reader.HeaderNames()) +
             "): a machine whose BIOS version prefix matches no type 0 entry is undecided; name the column "
             "that holds the platform name with --column platform_name=NAME");
  }
  reading.firmware = path == kStandardInput ? L"standard input" : path;
  bool platformKnown = reader.HasColumn(kPlatformNameColumn);
  bool hashes = reader.HasColumn(kAcSha256Column) || reader.HasColumn(kDcSha256Column);
  std::string hashLike = hashes ? "" : HashLikeColumn(reader.HeaderNames());
  if (!hashLike.empty() && !reading.saidNoHashes) {
    reading.saidNoHashes = true;
    Complain(ConsoleText(WideFromUtf8(name).c_str()) + " has no ac_sha256 or dc_sha256 column, though \"" + hashLike +
             "\" looks like one: the installed maps are not judged; name the hash columns with "
             "--column ac_sha256=NAME and --column dc_sha256=NAME");
  }
  // The checker's own rows carry the installed maps' states, and an error.
  bool states = reader.HasColumn(kAcInstalledColumn) || reader.HasColumn(kDcInstalledColumn);
  InventoryRow& row = reading.row;
  // Where a row stands, for its error.
  auto where = [&row, &name]() { return "line " + std::to_string(row.line) + " of " + name; };
  bool anyRow = false;
  while (reader.ReadRow(row)) {
    anyRow = true;
    if (!row.complete) {
      // A cut row has no cells, not even its name.
      std::string at = where();
      GiveError(reading, row.tooLong ? std::string_view(at) : row.name,
                at + (row.tooLong ? " is longer than 1 MiB"
                                  : " has " + std::to_string(row.cellCount) + (row.cellCount == 1 ? " cell" : " cells") +
                                        "; its header names " + std::to_string(reader.HeaderNames().size())));
      continue;
    }
    // The checker's own row of a machine that could not be read keeps its error.
    if (states && !row.cells[kErrorColumn].empty()) {
      GiveError(reading, row.name, std::string(row.cells[kErrorColumn]));
      continue;
    }
    // Each field is set, but the installed maps' where the row reports none:
    // a row costs a few hundred instructions, and clearing them showed.
    FleetMachine& machine = reading.machine;
    machine.error = {};
    machine.unreadable = nullptr;
    // The checker's own row of a machine that cannot tell its maps (Linux)
    // leaves their states empty.
    machine.reportsInstalled = hashes && (!states || !row.cells[kAcInstalledColumn].empty() ||
                                          !row.cells[kDcInstalledColumn].empty());
    std::string hashError = machine.reportsInstalled ? ReadInstalledHashes(row, machine) : "";
    if (!hashError.empty()) {
      GiveError(reading, row.name, where().append(": ").append(hashError));
      continue;
    }
    std::string_view platformName = row.cells[kPlatformNameColumn];
    machine.name = row.name;
    machine.firmware = &reading.firmware;
    machine.format = "inventory row";
    machine.biosVersion = row.cells[kBiosVersionColumn];
    machine.platformName = platformName;
    machine.kind = !platformKnown         ? MachineKind::kPlatformUnknown
                   : platformName.empty() ? MachineKind::kNoPlatformStructure
                                          : MachineKind::kPlatformStructure;
    machine.plainTexts = row.plain;
    Give(reading);
  }
  if (reader.ReadFailed()) return GiveError(reading, name, ReadFailure(reader));
  if (!anyRow) GiveError(reading, name, "has a header and no rows");
}

// A firmware file whose bytes are reading.bytes; when it is none, the
// error is `exportMistake` where that is not empty.
void ReadDump(FleetReading& reading, const std::wstring& path, const std::string& exportMistake) {
  FirmwareImage& image = reading.image;
  ParseFirmwareFile(reading.bytes, image);
  if (image.error != nullptr) {
    return GiveError(reading, FileName(path),
                     !exportMistake.empty() ? exportMistake
                     : (image.format != nullptr ? std::string(image.format) + ", " : "") + image.error);
  }
  MachineCheck& report = reading.report;
  ReportFirmwareBlock(reinterpret_cast<const uint8_t*>(image.block.data()),
                      static_cast<uint32_t>(image.block.size()), report, false);
  reading.name = FileName(path);
  reading.biosVersion = Utf8FromWide(report.biosVersion.c_str());
  reading.platformName = Utf8FromWide(report.platformName.c_str());
  FleetMachine& machine = reading.machine;
  machine = FleetMachine{};
  machine.name = reading.name;
  machine.firmware = &reading.firmware;
  machine.format = image.format;
  machine.biosVersion = reading.biosVersion;
  machine.platformName = reading.platformName;
  machine.kind = FirmwareMachineKind(report.hasPlatform);
  Give(reading);
}

// Names an entry of a folder that is passed over, unopened or unread: it
// gives no machine, but the run says so.
void PassOver(FleetReading& reading, const std::wstring& path, const char* reason) {
  GiveError(reading, FileName(path), std::string("passed over: ") + reason, true);
}

// The open file `file` on a disk, of `path`: an export or a firmware file;
// `inFolder`, one of a folder's files.
void ReadDiskFile(FleetReading& reading, const std::wstring& path, void* file, bool inFolder) {
  reading.firmware = path;
  uint64_t size = 0;
  if (!platform::GetFileSizeEx(file, size)) return GiveError(reading, FileName(path), "cannot be read");
  std::string& bytes = reading.bytes;
  bytes.clear();
  std::string mistake;
  bool read = AppendFileBytes(file, bytes, std::min<uint64_t>(size, kStartBytes));
  FileStart start =
      read ? ClassifyStart(bytes, size > bytes.size(), *reading.columns, reading.reader, mistake) : FileStart::kOther;
  // A CSV of other columns among a share's rows is stray: naming a column
  // for the whole share would not mend it.
  if (inFolder && start == FileStart::kMistakenExport && !reading.reader.HeaderNames().empty() &&
      !reading.reader.HasColumn(kBiosVersionColumn)) {
    mistake = "a CSV file whose header (" + ColumnList(reading.reader.HeaderNames()) +
              ") names no BIOS version column: neither a machine's row nor an export, so it can be removed from "
              "the folder";
  }
  if (read && start == FileStart::kExport) {
    ReadExport(reading, path, file);
  } else if (read && size > kLargestFirmwareFile) {
    GiveError(reading, FileName(path), !mistake.empty() ? mistake : "too large to be a firmware table (over 16 MiB)");
  } else if (read && AppendFileBytes(file, bytes, size - bytes.size())) {
    ReadDump(reading, path, mistake);
  } else {
    GiveError(reading, FileName(path), "cannot be read");
  }
}

// A file named as an input: on a disk, or a stream (a pipe such as
// "<(...)"), which is read as an export, as standard input is.
void ReadInputFile(FleetReading& reading, const std::wstring& path) {
  reading.firmware = path;
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadExisting);
  if (file == nullptr) return GiveError(reading, FileName(path), UnreadableReason(path));
  if (platform::GetFileType(file) == platform::FileType::kStream) {
    reading.bytes.clear();
    ReadExport(reading, path, file);
  } else {
    ReadDiskFile(reading, path, file, false);
  }
  platform::CloseHandle(file);
}

// The final path of the open `file`, every link resolved; empty when the
// system gives none.
std::wstring FinalPath(void* file) {
  wchar_t final[kPathCapacity];
  uint32_t length = platform::GetFinalPathNameByHandleW(file, final, kPathCapacity);
  return std::wstring(final, length);
}

// Whether final path `path` lies inside the folder whose final path is
// `folder`.
bool LiesInside(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  bool separated = folder.back() == platform::kPathSeparator || path[folder.size()] == platform::kPathSeparator;
  return separated && platform::CompareStringOrdinal(path.c_str(), folder.c_str(), static_cast<uint32_t>(folder.size()));
}

// An entry of a folder whose final path is `folder`: only a file on a disk
// is opened, and one reached through a link only where it lies inside the
// folder, so that nothing blocks the run and no file beyond the share is
// read.
void ReadFolderEntry(FleetReading& reading, const std::wstring& path, platform::EntryKind kind,
                     const std::wstring& folder) {
  reading.firmware = path;
  if (kind == platform::EntryKind::kOther) {
    return PassOver(reading, path, "not a regular file (a FIFO, a socket, a device, or a link to nothing)");
  }
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadExisting);
  if (file == nullptr) return GiveError(reading, FileName(path), UnreadableReason(path));
  if (platform::GetFileType(file) != platform::FileType::kDisk) {
    PassOver(reading, path, "not a regular file");
  } else if (kind == platform::EntryKind::kLinkedFile && !LiesInside(FinalPath(file), folder)) {
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

void ReadFolder(FleetReading& reading, const std::wstring& folder) {
  FolderEntries entries;
  ListFiles(folder, entries);
  if (entries.starts.empty()) return GiveError(reading, Utf8FromWide(folder.c_str()), "a folder that holds no files");
  std::wstring folderPath;
  if (void* opened = platform::CreateFileW(folder.c_str(), platform::FileAccess::kOpenFolder)) {
    folderPath = FinalPath(opened);
    platform::CloseHandle(opened);
  }
  size_t count = entries.starts.size();
  bool progress = count > kProgressFrom && platform::StandardErrorIsConsole();
  std::wstring path;
  for (size_t i = 0; i < count; ++i) {
    path.assign(folder);
    path += platform::kPathSeparator;
    path += entries.names.data() + entries.starts[i].first;
    ReadFolderEntry(reading, path, entries.starts[i].second, folderPath);
    if (progress && (i + 1) % 100 == 0) std::fprintf(stderr, "\r%zu of %zu files", i + 1, count);
  }
  if (progress) std::fprintf(stderr, "\r%zu of %zu files\n", count, count);
}

}  // namespace

void ReadFleet(const std::vector<std::wstring>& inputs, const InventoryColumns& columns,
               MachineSink take, void* context) {
  FleetReading reading;
  reading.columns = &columns;
  reading.take = take;
  reading.context = context;
  for (const std::wstring& input : inputs) {
    if (input == kStandardInput) {
      void* in = platform::GetStdInputHandle();
      if (in != nullptr && platform::GetFileType(in) == platform::FileType::kFolder) {
        GiveError(reading, "standard input", "a folder: name the folder itself as an input");
        continue;
      }
      reading.bytes.clear();
      ReadExport(reading, input, in);
    } else if (IsFolder(input.c_str())) {
      ReadFolder(reading, input);
    } else {
      ReadInputFile(reading, input);
    }
  }
}
