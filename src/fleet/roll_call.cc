#include "fleet/roll_call.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "check/files.h"
#include "check/utc_time.h"
#include "fleet/inventory_reader.h"

namespace {

// How far after the run a row's time may lie: clocks differ.
constexpr int64_t kClockSlack = 86400;

// Names kept of each group, for the summaries.
constexpr size_t kNamesKept = 5;

// An expected list larger than this is no collection's export.
constexpr uint64_t kLargestList = uint64_t{1} << 30;

// Names are kept in blocks of this many bytes; a longer one (a row holds at
// most 1 MiB) has a block of its own.
constexpr unsigned kBlockBits = 20;
constexpr size_t kBlockBytes = size_t{1} << kBlockBits;

// A name this long or longer gives its length in 4 bytes after this one.
constexpr uint8_t kLongName = 0xFF;

// A row counted: superseded, its name expected, and the check of its name
// and time in the other bits.
constexpr uint32_t kSupersededRow = uint32_t{1} << 31;
constexpr uint32_t kExpectedRow = uint32_t{1} << 30;
constexpr uint32_t kCheckBits = kExpectedRow - 1;

// Windows computer names match without regard to letter case.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// FNV-1a over `text`, from `hash`; letter case ignored with `fold`.
uint64_t Fnv(uint64_t hash, std::string_view text, bool fold) {
  return std::accumulate(text.begin(), text.end(), hash, [fold](uint64_t sum, char c) {
    return (sum ^ static_cast<uint8_t>(fold ? Lower(c) : c)) * 1099511628211u;
  });
}

uint64_t NameHash(std::string_view name) {
  uint64_t hash = Fnv(14695981039346656037u, name, true);
  // FNV's low bits follow the last characters closely: names counted up
  // ("PC00000001", "PC00000002") crowded into runs of slots, and a search
  // walked them. Mixed as MurmurHash3 ends, every bit counts.
  hash = (hash ^ (hash >> 33)) * 0xff51afd7ed558ccdu;
  hash = (hash ^ (hash >> 33)) * 0xc4ceb9fe1a85ec53u;
  return hash ^ (hash >> 33);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// What the second reading must find again in a row: its name, in any
// letter case, and its time as written.
uint32_t RowCheck(std::string_view name, std::string_view written) {
  uint64_t hash = Fnv(NameHash(name), written, false);
  return static_cast<uint32_t>(hash ^ (hash >> 32)) & kCheckBits;
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
    size_t before = names_.size();
    size_t number = Find(name, true);
    if (number == before) names_[number].expected = 1;
  };
  if (list && !reader.HeaderNames().empty()) add(reader.HeaderNames()[0]);
  InventoryRow row{};
  while (reader.ReadRow(row)) add(list ? row.name : row.cells[kBiosVersionColumn]);
  if (reader.ReadFailed()) return "cannot be read";
  // An empty list would make every machine unexpected and none missing.
  if (names_.empty()) return "names no machine";
  summary_.expecting = true;
  summary_.expected = names_.size();
  return "";
}

std::string_view RollCall::NameOf(const NameRow& name) const {
  const auto* at = reinterpret_cast<const uint8_t*>(nameBlocks_[name.nameAt >> kBlockBits].get()) +
                   (name.nameAt & (kBlockBytes - 1));
  uint32_t length = *at++;
  if (length == kLongName) {
    std::memcpy(&length, at, sizeof length);
    at += sizeof length;
  }
  return {reinterpret_cast<const char*>(at), length};
}

void RollCall::Grow() {
  std::vector<uint64_t> slots(std::max<size_t>(slots_.size() * 2, 1024), 0);
  size_t mask = slots.size() - 1;
  // Each slot keeps its hash, so that growing reads no name.
  for (uint64_t taken : slots_) {
    if (taken == 0) continue;
    size_t slot = static_cast<uint32_t>(taken) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = taken;
  }
  slots_.swap(slots);
}

size_t RollCall::Find(std::string_view name, bool add) {
  // At most three quarters of the slots are taken, so that a search ends
  // soon, mostly in the slot it starts from.
  if (add && (names_.size() + 1) * 4 > slots_.size() * 3) Grow();
  if (slots_.empty()) return kNoName;
  size_t mask = slots_.size() - 1;
  auto hash = static_cast<uint32_t>(NameHash(name));
  size_t slot = hash & mask;
  for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (static_cast<uint32_t>(slots_[slot]) != hash) continue;
    size_t number = (slots_[slot] >> 32) - 1;
    if (SameName(NameOf(names_[number]), name)) return number;
  }
  if (!add) return kNoName;
  // The length in a byte, or past kLongName in the 4 bytes after it.
  size_t need = 1 + (name.size() >= kLongName ? 4 : 0) + name.size();
  if (nameBlocks_.empty() || blockUsed_ + need > kBlockBytes) {
    // Left unset: only the bytes written are read.
    nameBlocks_.emplace_back(new char[std::max(need, kBlockBytes)]);
    blockUsed_ = 0;
  }
  char* at = nameBlocks_.back().get() + blockUsed_;
  auto length = static_cast<uint32_t>(name.size());
  *at++ = static_cast<char>(std::min<uint32_t>(length, kLongName));
  if (length >= kLongName) {
    std::memcpy(at, &length, sizeof length);
    at += sizeof length;
  }
  std::memcpy(at, name.data(), name.size());
  NameRow row{};
  row.nameAt = (uint64_t{nameBlocks_.size() - 1} << kBlockBits) | blockUsed_;
  blockUsed_ += need;
  names_.push_back(row);
  slots_[slot] = (uint64_t{names_.size()} << 32) | hash;
  return names_.size() - 1;
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
  NameRow& name = names_[Find(machine.name, true)];
  uint64_t row = rows_.size();
  rows_.push_back(RowCheck(machine.name, machine.written) | (name.expected ? kExpectedRow : 0));
  uint32_t written = KeptTime(machine.written);
  if (!name.reported) {
    name.reported = 1;
    if (name.expected) ++reportedExpected_;
  } else {
    if (!name.repeated) {
      name.repeated = 1;
      ++summary_.repeated;
      Note(summary_.repeatedNames, machine.name);
    }
    ++summary_.superseded;
    // A row with a time wins over one without; of two with times the later
    // time, and where the times are equal or neither has one, the later
    // row read.
    if (written != 0 ? written < name.written : name.written != 0) {
      rows_[row] |= kSupersededRow;
      return;
    }
    rows_[name.row] |= kSupersededRow;
  }
  name.row = row;
  name.source = machine.source;
  name.line = machine.line;
  name.written = written;
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
    uint64_t row = taken_++;
    uint32_t check = row < rows_.size() ? rows_[row] : 0;
    if (row >= rows_.size() || (check & kCheckBits) != RowCheck(machine.name, machine.written)) {
      // Not the row the first reading found here: judged, but the answer
      // is not whole.
      ++summary_.changed;
    } else if ((check & kSupersededRow) != 0) {
      const NameRow& name = names_[Find(machine.name, false)];
      superseded_ = kSupersededBy;
      if (name.line != 0) superseded_ += "the row of ";
      superseded_ += SourceName(name.source);
      if (name.line != 0) superseded_ += " line " + std::to_string(name.line);
      if (name.written != 0) superseded_ += ", written " + UtcTimeText(name.written);
      return superseded_;
    } else {
      expected = (check & kExpectedRow) != 0;
    }
  }
  ++summary_.reported;
  int64_t written = 0;
  bool dated = !machine.written.empty() && ParseUtcTime(machine.written, written);
  // A firmware file is no row: it says nothing of when it was made.
  if (machine.written.empty() && machine.format == kInventoryRowFormat) ++summary_.withoutWritten;
  // A time that cannot be read cannot show the row is recent, nor can one
  // more than a day after the run (a clock that was wrong).
  if (maxAgeSeconds_ >= 0 && !machine.written.empty() &&
      (!dated || summary_.runTime - written > maxAgeSeconds_ || written - summary_.runTime > kClockSlack)) {
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
  // Rows the first reading counted and the second never reached: an input
  // grew shorter while it was read.
  if (taken_ < rows_.size()) summary_.changed += rows_.size() - taken_;
}

std::vector<std::string> RollCall::Missing() const {
  std::vector<std::string> missing;
  // The expected names come first, as the list gives them.
  for (size_t i = 0; i < summary_.expected; ++i) {
    if (!names_[i].reported) missing.emplace_back(NameOf(names_[i]));
  }
  return missing;
}

RollCallSummary RollCall::Summary() const {
  RollCallSummary summary = summary_;
  summary.missing = summary_.expected - reportedExpected_;
  for (size_t i = 0; i < summary_.expected && summary.missingNames.size() < kNamesKept; ++i) {
    if (!names_[i].reported) summary.missingNames.emplace_back(NameOf(names_[i]));
  }
  return summary;
}

bool RollCall::Partial() const {
  return reportedExpected_ < summary_.expected || summary_.stale > 0 || summary_.changed > 0;
}
