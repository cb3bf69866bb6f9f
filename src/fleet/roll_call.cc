#include "fleet/roll_call.h"

#include <algorithm>
#include <cstring>

#include "check/files.h"
#include "check/utc_time.h"
#include "fleet/inventory_reader.h"

namespace {

// Names kept of each group, for the summaries.
constexpr size_t kNamesKept = 5;

// An expected list larger than this is no collection's export.
constexpr uint64_t kLargestList = uint64_t{1} << 30;

// Names are kept in blocks of this many bytes; a longer one (a row holds at
// most 1 MiB) has a block of its own.
constexpr unsigned kBlockBits = 20;
constexpr size_t kBlockBytes = size_t{1} << kBlockBits;

// Windows computer names match without regard to letter case.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

uint64_t NameHash(std::string_view name) {
  uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (char c : name) hash = (hash ^ static_cast<uint8_t>(Lower(c))) * 1099511628211u;
  return hash ^ (hash >> 32);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The time a row gives, as the roll call keeps it: 0 when it gives none it
// can keep.
uint32_t KeptTime(std::string_view written) {
  int64_t seconds = 0;
  if (written.empty() || !ParseUtcTime(written, seconds) || seconds <= 0 || seconds > UINT32_MAX) return 0;
  return static_cast<uint32_t>(seconds);
}

}  // namespace

RollCall::RollCall(int64_t runTime, int64_t maxAgeDays)
    : maxAgeSeconds_(maxAgeDays < 0 ? -1 : maxAgeDays * 86400) {
  summary_.runTime = runTime;
  summary_.maxAgeGiven = maxAgeDays >= 0;
}

std::string RollCall::Expect(const std::wstring& path) {
  std::string bytes;
  int read = ReadWholeFile(path.c_str(), bytes, kLargestList);
  if (read != 1) return read == 2 ? "larger than 1 GiB" : UnreadableReason(path);
  StringBytes source{&bytes, 0};
  InventoryReader reader(ReadStringBytes, &source);
  // A CSV names its machines in its "name" column; a list has one a line.
  InventoryColumns columns{"name", "", "", ""};
  InventoryHeader header = reader.ReadHeader(columns);
  if (reader.ReadFailed()) return "cannot be read";
  bool list = header != InventoryHeader::kRead;
  auto add = [this](std::string_view name) {
    if (name.empty()) return;
    size_t before = rows_.size();
    size_t number = Find(name, true);
    if (number == before) rows_[number].expected = 1;
  };
  if (list && !reader.HeaderNames().empty()) add(reader.HeaderNames()[0]);
  InventoryRow row{};
  while (reader.ReadRow(row)) add(list ? row.name : row.cells[kBiosVersionColumn]);
  if (reader.ReadFailed()) return "cannot be read";
  // An empty list would make every machine unexpected and none missing.
  if (rows_.empty()) return "names no machine";
  summary_.expecting = true;
  summary_.expected = rows_.size();
  return "";
}

std::string_view RollCall::NameOf(const NameRow& row) const {
  const char* at = nameBlocks_[row.nameAt >> kBlockBits].get() + (row.nameAt & (kBlockBytes - 1));
  uint32_t length = 0;
  std::memcpy(&length, at, sizeof length);
  return {at + sizeof length, length};
}

void RollCall::Grow() {
  std::vector<uint32_t> slots(std::max<size_t>(slots_.size() * 2, 1024), 0);
  size_t mask = slots.size() - 1;
  for (size_t number = 0; number < rows_.size(); ++number) {
    size_t slot = NameHash(NameOf(rows_[number])) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = static_cast<uint32_t>(number + 1);
  }
  slots_.swap(slots);
}

size_t RollCall::Find(std::string_view name, bool add) {
  // At most half the slots are taken, so that a search ends soon.
  if (add && (rows_.size() + 1) * 2 > slots_.size()) Grow();
  if (slots_.empty()) return kNoName;
  size_t mask = slots_.size() - 1;
  size_t slot = NameHash(name) & mask;
  for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
    size_t number = slots_[slot] - 1;
    if (SameName(NameOf(rows_[number]), name)) return number;
  }
  if (!add) return kNoName;
  uint32_t length = static_cast<uint32_t>(name.size());
  size_t need = sizeof length + name.size();
  if (nameBlocks_.empty() || blockUsed_ + need > kBlockBytes) {
    nameBlocks_.push_back(std::make_unique<char[]>(std::max(need, kBlockBytes)));
    blockUsed_ = 0;
  }
  char* at = nameBlocks_.back().get() + blockUsed_;
  std::memcpy(at, &length, sizeof length);
  std::memcpy(at + sizeof length, name.data(), name.size());
  NameRow row{};
  row.nameAt = (uint64_t{nameBlocks_.size() - 1} << kBlockBits) | blockUsed_;
  blockUsed_ += need;
  rows_.push_back(row);
  slots_[slot] = static_cast<uint32_t>(rows_.size());
  return rows_.size() - 1;
}

std::string_view RollCall::SourceName(uint32_t source) const {
  size_t end = source + 1 < sourceStarts_.size() ? sourceStarts_[source + 1] : sourceNames_.size();
  return std::string_view(sourceNames_).substr(sourceStarts_[source], end - sourceStarts_[source]);
}

void RollCall::Note(std::vector<std::string>& names, std::string_view name) {
  if (names.size() < kNamesKept) names.emplace_back(name);
}

void RollCall::Count(const FleetMachine& machine) {
  if (!Tracks(machine)) return;
  NameRow& row = rows_[Find(machine.name, true)];
  if (++row.rows == 2) {
    ++summary_.repeated;
    Note(summary_.repeatedNames, machine.name);
  }
  if (row.rows > 1) ++summary_.superseded;
  uint32_t written = KeptTime(machine.written);
  // The latest time wins; where the times are equal or either is absent,
  // the later row read.
  if (row.rows > 1 && written != 0 && row.written != 0 && written < row.written) return;
  row.source = machine.source;
  row.line = machine.line;
  row.written = written;
  if (machine.source >= sourceStarts_.size()) {
    // Sources that gave no row counted have empty names.
    sourceStarts_.resize(machine.source, sourceNames_.size());
    sourceStarts_.push_back(sourceNames_.size());
    sourceNames_ += FileName(*machine.firmware);
  }
}

const std::string& RollCall::Take(const FleetMachine& machine) {
  superseded_.clear();
  bool expected = false;
  if (Tracks(machine)) {
    size_t number = Find(machine.name, false);
    if (number == kNoName) {
      ++summary_.changed;
    } else {
      NameRow& row = rows_[number];
      ++row.taken;
      if (machine.source != row.source || machine.line != row.line) {
        superseded_ = "superseded by ";
        if (row.line != 0) superseded_ += "the row of ";
        superseded_ += SourceName(row.source);
        if (row.line != 0) superseded_ += " line " + std::to_string(row.line);
        if (row.written != 0) superseded_ += ", written " + UtcTimeText(row.written);
        return superseded_;
      }
      if (row.latestTaken) ++summary_.changed;
      row.latestTaken = 1;
      expected = row.expected;
      if (expected) ++reportedExpected_;
    }
  }
  ++summary_.reported;
  int64_t written = 0;
  bool dated = !machine.written.empty() && ParseUtcTime(machine.written, written);
  // A firmware file is no row: it says nothing of when it was made.
  if (machine.written.empty() && machine.format == kInventoryRowFormat) ++summary_.withoutWritten;
  // A time that cannot be read cannot show the row is recent.
  if (maxAgeSeconds_ >= 0 && !machine.written.empty() && (!dated || summary_.runTime - written > maxAgeSeconds_)) {
    ++summary_.stale;
    Note(summary_.staleNames, machine.name);
  }
  if (summary_.expecting && !expected) {
    ++summary_.unexpected;
    Note(summary_.unexpectedNames, machine.name);
  }
  return superseded_;
}

void RollCall::Finish() {
  // A row the first reading counted and the second did not find where it
  // stood: a file of the fleet changed while it was read.
  for (const NameRow& row : rows_) {
    if (row.rows > 0 && (row.taken != row.rows || !row.latestTaken)) ++summary_.changed;
  }
}

std::vector<std::string> RollCall::Missing() const {
  std::vector<std::string> missing;
  // The expected names come first, as the list gives them.
  for (size_t i = 0; i < summary_.expected; ++i) {
    if (!rows_[i].latestTaken) missing.emplace_back(NameOf(rows_[i]));
  }
  return missing;
}

RollCallSummary RollCall::Summary() const {
  RollCallSummary summary = summary_;
  summary.missing = summary_.expected - reportedExpected_;
  for (size_t i = 0; i < summary_.expected && summary.missingNames.size() < kNamesKept; ++i) {
    if (!rows_[i].latestTaken) summary.missingNames.emplace_back(NameOf(rows_[i]));
  }
  return summary;
}

bool RollCall::Partial() const {
  return reportedExpected_ < summary_.expected || summary_.stale > 0 || summary_.changed > 0;
}
