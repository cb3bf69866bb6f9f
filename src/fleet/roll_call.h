// A fleet's roll call: machines, not rows. Where rows report their installed
// maps, or a list names the machines that should report, a machine is known
// by its name (letter case ignored, as Windows computer names are): the
// fleet is read twice, first to count each name's rows and find its latest
// (by `written`, else the later read), then to judge, where only that row
// counts and every other row of the name is superseded. It also tells when
// each row was written and whether it is too old, and which expected
// machines never reported and which reported unasked.
//
// What follows the number of machines stands here alone: 32 bytes for each
// name (its latest row's place and time, its rows, and the name's place),
// 4 to 8 bytes of slots, and the name with its length. So 10,000,000
// machines of 10-character names take some 560 MB, 56 bytes each
// (docs/performance.md); rows that report no maps, where no list is given,
// cost nothing here.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_sources.h"

struct RollCallSummary {
  int64_t runTime;
  uint64_t reported = 0;        // machines judged (rows and files that gave one)
  uint64_t withoutWritten = 0;  // of those, rows that say not when they were written
  uint64_t repeated = 0;        // names that stand in more than one row
  uint64_t superseded = 0;      // rows of those names that are not the latest
  uint64_t changed = 0;         // rows the second reading did not find as the first
  bool maxAgeGiven = false;
  uint64_t stale = 0;           // machines whose row was written more than the maximum age before the run
  bool expecting = false;       // with a list of the machines expected
  uint64_t expected = 0;
  uint64_t missing = 0;
  uint64_t unexpected = 0;
  // The first few names of each group.
  std::vector<std::string> staleNames;
  std::vector<std::string> missingNames;
  std::vector<std::string> unexpectedNames;
  std::vector<std::string> repeatedNames;
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

  // Whether every machine is known by its name, not only those that report
  // their maps.
  bool Expecting() const { return summary_.expecting; }

  // First reading: counts a machine's row (unreadable inputs are no
  // machines).
  void Count(const FleetMachine& machine);

  // Second reading: takes a machine as it is judged; empty when it counts,
  // else why it does not ("superseded by the row of FILE line N, written
  // T"), valid until the next machine.
  const std::string& Take(const FleetMachine& machine);

  // After the second reading: counts the rows it did not find where the
  // first found them.
  void Finish();

  // After the second reading: the expected machines that never reported,
  // as the list names them.
  std::vector<std::string> Missing() const;

  RollCallSummary Summary() const;

  // Whether the roll call makes the answer partial: a machine missing or
  // stale, or an input that changed between the readings.
  bool Partial() const;

  int64_t runTime() const { return summary_.runTime; }

 private:
  // A name's latest row, as the first reading found it.
  struct NameRow {
    uint64_t line;     // its line in its export (0: a file)
    uint32_t source;   // the number of the file or stream it comes from
    uint32_t written;  // seconds since 1970; 0 when it gives no time
    uint32_t rows;     // the name's rows, counted in the first reading
    uint32_t taken;    // and taken in the second
    uint64_t nameAt : 62;      // where the name stands in names_
    uint64_t expected : 1;
    uint64_t latestTaken : 1;  // the second reading found the latest row where the first did
  };

  // Whether `machine` is known by its name.
  bool Tracks(const FleetMachine& machine) const { return summary_.expecting || machine.reportsInstalled; }

  // The number of the name, or kNoName; with `add`, added where new.
  size_t Find(std::string_view name, bool add);
  std::string_view NameOf(const NameRow& row) const;
  void Grow();
  std::string_view SourceName(uint32_t source) const;
  void Note(std::vector<std::string>& names, std::string_view name);

  static constexpr size_t kNoName = SIZE_MAX;

  int64_t maxAgeSeconds_;
  RollCallSummary summary_;
  size_t reportedExpected_ = 0;
  std::deque<NameRow> rows_;
  std::vector<uint32_t> slots_;  // a name's number + 1, by its hash; 0 free
  // The names, each after its length (4 bytes), in blocks that never move.
  std::vector<std::unique_ptr<char[]>> nameBlocks_;
  size_t blockUsed_ = 0;
  // The last part of each source's path that gave a row counted, by source.
  std::string sourceNames_;
  std::vector<uint64_t> sourceStarts_;
  std::string superseded_;
};
