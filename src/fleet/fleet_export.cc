#include "fleet/fleet_reading.h"

#include <algorithm>

#include "check/complaint.h"
#include "check/json_text.h"
#include "common/utf8.h"
#include "fleet/export_start.h"
#include "platform/platform.h"

namespace {

// An open file whose start was read already: the start first, then the
// rest; for a stream the second time, the bytes the first reading kept,
// then the rest of the stream.
struct FileBytes {
  const std::string* start;
  size_t at;
  void* file;
  void* kept;         // bytes to read before the file's, or where to keep them
  bool keep;          // whether every byte read from the file goes to `kept` too
  bool* keepFailed;
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
  auto chunk = static_cast<uint32_t>(std::min<size_t>(size, 1 << 20));
  if (source->kept != nullptr && !source->keep) {
    if (!platform::ReadFile(source->kept, buffer, chunk, count)) return kInventoryReadFailed;
    if (count > 0) return count;
    source->kept = nullptr;
  }
  if (source->file == nullptr) return 0;
  if (!platform::ReadFile(source->file, buffer, chunk, count)) return kInventoryReadFailed;
  if (source->keep && count > 0 && !platform::WriteFile(source->kept, buffer, count)) *source->keepFailed = true;
  return count;
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

}  // namespace

void ReadExport(FleetReading& reading, const std::wstring& path, void* file, bool stream) {
  FleetPass& pass = *reading.pass;
  FileBytes source{&reading.bytes, 0, file, nullptr, false, &pass.keepFailed};
  if (stream && pass.counting) {
    source.kept = platform::CreateTemporaryFile();
    source.keep = true;
    pass.keepFailed = pass.keepFailed || source.kept == nullptr;
    pass.kept.push_back(source.kept);
    if (source.kept == nullptr) return;
  } else if (stream) {
    source.kept = reading.stream < pass.kept.size() ? pass.kept[reading.stream] : nullptr;
    if (source.kept == nullptr || !platform::RewindFile(source.kept)) {
      return GiveError(reading, FileName(path), "its bytes were not kept from the first reading");
    }
  }
  reading.stream += stream ? 1 : 0;
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
  if (!reader.HasColumn(kPlatformNameColumn) && !reading.saidNoPlatforms && !pass.counting) {
    reading.saidNoPlatforms = true;
    Complain(ConsoleText(WideFromUtf8(name).c_str()) + " has no platform_name column (its columns are " + ColumnList(reader.HeaderNames()) +
             "): a machine whose BIOS version prefix matches no type 0 entry is undecided; name the column "
             "that holds the platform name with --column platform_name=NAME");
  }
  reading.firmware = path == kStandardInput ? L"standard input" : path;
  bool platformKnown = reader.HasColumn(kPlatformNameColumn);
  bool hashes = reader.HasColumn(kAcSha256Column) || reader.HasColumn(kDcSha256Column);
  std::string hashLike = hashes ? "" : HashLikeColumn(reader.HeaderNames());
  if (!hashLike.empty() && !reading.saidNoHashes && !pass.counting) {
    reading.saidNoHashes = true;
    Complain(ConsoleText(WideFromUtf8(name).c_str()) + " has no ac_sha256 or dc_sha256 column, though \"" + hashLike +
             "\" looks like one: the installed maps are not judged; name the hash columns with "
             "--column ac_sha256=NAME and --column dc_sha256=NAME");
  }
  // Rows that report no maps are known by name only where every machine is.
  if (pass.counting && !pass.everyMachine && !hashes) return;
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
    machine.format = kInventoryRowFormat;
    machine.biosVersion = row.cells[kBiosVersionColumn];
    machine.platformName = platformName;
    machine.kind = !platformKnown         ? MachineKind::kPlatformUnknown
                   : platformName.empty() ? MachineKind::kNoPlatformStructure
                                          : MachineKind::kPlatformStructure;
    machine.plainTexts = row.plain;
    machine.written = row.cells[kWrittenColumn];
    machine.source = reading.source;
    machine.line = row.line;
    reading.take(machine, reading.context);
  }
  if (reader.ReadFailed()) return GiveError(reading, name, ReadFailure(reader));
  if (!anyRow) GiveError(reading, name, "has a header and no rows");
}

