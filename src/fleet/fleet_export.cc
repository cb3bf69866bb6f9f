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
  bool* ended;        // set when the file's end is reached; null: not asked
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
  // A console's end of input is read once, not again in the second reading.
  if (count == 0 && source->ended != nullptr) *source->ended = true;
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

// The rows of the export `source` reads, of `path`.
void ReadRows(FleetReading& reading, const std::wstring& path, FileBytes& source) {
  const FleetPass& pass = *reading.pass;
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
  // The checker's own rows carry the installed maps' states, and an error.
  bool states = reader.HasColumn(kAcInstalledColumn) || reader.HasColumn(kDcInstalledColumn);
  // Other rows that report no maps are known by name only where every
  // machine is.
  if (pass.counting && !pass.everyMachine && !hashes && !states) return;
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
    // The checker's own row of a machine that could not be read keeps its
    // error, and is still that machine's row, known by its name and time;
    // a row it wrote as superseded says so again.
    if (states && !row.cells[kErrorColumn].empty()) {
      reading.error = row.cells[kErrorColumn];
      FleetMachine& machine = reading.machine;
      machine = FleetMachine{};
      machine.name = row.name;
      machine.error = reading.error;
      machine.ownRow = true;
      machine.superseded = reading.error.rfind(kSupersededBy, 0) == 0;
      machine.firmware = &reading.firmware;
      machine.written = row.cells[kWrittenColumn];
      machine.source = reading.source;
      machine.line = row.line;
      reading.take(machine, reading.context);
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
    machine.ownRow = states;
    machine.superseded = false;
    reading.take(machine, reading.context);
  }
  if (reader.ReadFailed()) return GiveError(reading, name, ReadFailure(reader));
  if (!anyRow) GiveError(reading, name, "has a header and no rows");
}

}  // namespace

void ReadExport(FleetReading& reading, const std::wstring& path, void* file) {
  FileBytes source{&reading.bytes, 0, file, nullptr, false, &reading.pass->keepFailed, nullptr};
  ReadRows(reading, path, source);
}

void ReadStream(FleetReading& reading, const std::wstring& path, void* file, bool ownFile) {
  FleetPass& pass = *reading.pass;
  reading.bytes.clear();
  FileBytes source{&reading.bytes, 0, file, nullptr, false, &pass.keepFailed, nullptr};
  if (pass.counting) {
    void* kept = platform::CreateTemporaryFile();
    FleetPass::KeptStream& stream = pass.streams[reading.source] = {file, ownFile, kept, false};
    if (kept == nullptr) {
      pass.keepFailed = true;
      return;
    }
    source.kept = kept;
    source.keep = true;
    source.ended = &stream.ended;
  } else {
    auto stream = pass.streams.find(reading.source);
    if (stream == pass.streams.end() || !platform::RewindFile(stream->second.kept)) {
      return GiveError(reading, FileName(path), "a stream now, but not when the inputs were first read");
    }
    source.kept = stream->second.kept;
    source.file = stream->second.ended ? nullptr : stream->second.file;
  }
  ReadRows(reading, path, source);
}
