// A fleet's roll call: when each row was written and whether it is too old,
// and, with a list of the machines that should report, which never did and
// which reported unasked. The judge hands it each machine it judges. What
// follows the number of machines stands here alone: the expected names
// (each once, in letter case as listed, and whether it reported) and the
// first few names of each group.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fleet/fleet_sources.h"

struct RollCallSummary {
  int64_t runTime;
  uint64_t reported = 0;        // machines judged (rows and files that gave one)
  uint64_t withoutWritten = 0;  // of those, rows that say not when they were written
  bool maxAgeGiven = false;
  uint64_t stale = 0;           // rows written more than the maximum age before the run
  bool expecting = false;       // with a list of the machines expected
  uint64_t expected = 0;
  uint64_t missing = 0;
  uint64_t unexpected = 0;
  // The first few names of each group.
  std::vector<std::string> staleNames;
  std::vector<std::string> missingNames;
  std::vector<std::string> unexpectedNames;
};

class RollCall {
 public:
  // The run at `runTime` (seconds since 1970, UTC); a row written more than
  // `maxAgeDays` before it is stale (negative: no row is).
  RollCall(int64_t runTime, int64_t maxAgeDays);

  // Reads the machines expected from `path`: one name a line, or a CSV with
  // a `name` column (UTF-8, UTF-16, a "#TYPE" line, as an export); the
  // reason it cannot, or empty.
  std::string Expect(const std::wstring& path);

  // Takes a machine as it was judged (unreadable inputs are no machines).
  void Take(const FleetMachine& machine);

  // The expected machines that never reported, as the list names them.
  std::vector<std::string> Missing() const;

  RollCallSummary Summary() const;

  // Whether the roll call makes the answer partial: a machine missing or
  // stale.
  bool Partial() const { return reportedExpected_ < expectedNames_.size() || summary_.stale > 0; }

  int64_t runTime() const { return summary_.runTime; }

 private:
  void Note(std::vector<std::string>& names, std::string_view name);

  int64_t maxAgeSeconds_;
  RollCallSummary summary_;
  std::vector<std::string> expectedNames_;        // as listed, each once
  std::vector<bool> reported_;                    // by expected name
  size_t reportedExpected_ = 0;
  std::unordered_map<std::string, size_t> byName_;  // lower-case name to its place
  std::string lower_;                             // reused from machine to machine
};
