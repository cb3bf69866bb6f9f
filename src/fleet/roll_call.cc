#include "fleet/roll_call.h"

#include <algorithm>

#include "check/files.h"
#include "check/utc_time.h"
#include "fleet/inventory_reader.h"

namespace {

// Names kept of each group, for the summaries.
constexpr size_t kNamesKept = 5;

// An expected list larger than this is no collection's export.
constexpr uint64_t kLargestList = uint64_t{1} << 30;

// Windows computer names match without regard to letter case.
void LowerInto(std::string_view name, std::string& lower) {
  lower.assign(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
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
    LowerInto(name, lower_);
    if (byName_.try_emplace(lower_, expectedNames_.size()).second) expectedNames_.emplace_back(name);
  };
  if (list && !reader.HeaderNames().empty()) add(reader.HeaderNames()[0]);
  InventoryRow row{};
  while (reader.ReadRow(row)) add(list ? row.name : row.cells[kBiosVersionColumn]);
  if (reader.ReadFailed()) return "cannot be read";
  // An empty list would make every machine unexpected and none missing.
  if (expectedNames_.empty()) return "names no machine";
  reported_.assign(expectedNames_.size(), false);
  summary_.expecting = true;
  summary_.expected = expectedNames_.size();
  return "";
}

void RollCall::Note(std::vector<std::string>& names, std::string_view name) {
  if (names.size() < kNamesKept) names.emplace_back(name);
}

void RollCall::Take(const FleetMachine& machine) {
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
  if (!summary_.expecting) return;
  LowerInto(machine.name, lower_);
  auto found = byName_.find(lower_);
  if (found == byName_.end()) {
    ++summary_.unexpected;
    Note(summary_.unexpectedNames, machine.name);
  } else if (!reported_[found->second]) {
    reported_[found->second] = true;
    ++reportedExpected_;
  }
}

std::vector<std::string> RollCall::Missing() const {
  std::vector<std::string> missing;
  for (size_t i = 0; i < expectedNames_.size(); ++i) {
    if (!reported_[i]) missing.push_back(expectedNames_[i]);
  }
  return missing;
}

RollCallSummary RollCall::Summary() const {
  RollCallSummary summary = summary_;
  summary.missing = expectedNames_.size() - reportedExpected_;
  for (size_t i = 0; i < expectedNames_.size() && summary.missingNames.size() < kNamesKept; ++i) {
    if (!reported_[i]) summary.missingNames.push_back(expectedNames_[i]);
  }
  return summary;
}
