// A fleet's roll call: machines, not rows. Where rows report their installed
// maps, or a list names the machines that should report, a machine is known
// by its name (letter case ignored, as Windows computer names are): the
// fleet is read twice, first to count each name's rows and find its latest
// (by `written`, else the later read), then to judge, where only that row
// counts and every other row of the name is superseded. It also tells when
// each row was written and whether it is too old, and which expected
// machines never reported and which reported unasked.
//
// What follows the number of machines stands here alone, and the second
// reading adds nothing to it: 32 bytes for each name (its latest row's
// place and time), 8 bytes a slot at most three quarters full (11 to 21
// bytes a name), the name after its length, and 4 bytes for each row (what
// the second reading will find there: a check of its name and time, and
// whether it counts). The first reading looks each name up once, in one
// slot mostly; the second reads the rows' words in order and looks a name
// up only for a row superseded. So 10,000,000 rows of as many 10-character
// names take some 600 MB (docs/performance.md); rows that report no maps,
// where no list is given, cost nothing here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_sources.h"

// Items in chunks of 65,536 that never move: growing copies nothing, and
// takes memory a chunk at a time.
template <typename T>
class ChunkedArray {
 public:
  void push_back(const T& item) {
    if ((size_ & kMask) == 0) chunks_.emplace_back(new T[kMask + 1]);
    chunks_.back()[size_ & kMask] = item;
    ++size_;
  }
  T& operator[](size_t i) { return chunks_[i >> kBits][i & kMask]; }
  const T& operator[](size_t i) const { return chunks_[i >> kBits][i & kMask]; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  static constexpr unsigned kBits = 16;
  static constexpr size_t kMask = (size_t{1} << kBits) - 1;
  std::vector<std::unique_ptr<T[]>> chunks_;
  size_t size_ = 0;
};

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

  // Second reading: counts a row the checker wrote as superseded before.
  void TakeSuperseded() { ++summary_.superseded; }

  // Second reading: takes a machine as it is judged; empty when it counts,
  // else why it does not ("superseded by the row of FILE line N, written
  // T"), valid until the next machine.
  const std::string& Take(const FleetMachine& machine);

  // After the second reading: counts the rows it did not find as the first
  // found them.
  void Finish();

  // The expected machines that never reported, as the list names them.
  std::vector<std::string> Missing() const;

  RollCallSummary Summary() const;

  // Whether the roll call makes the answer partial: a machine missing or
  // stale, or an input that changed between the readings.
  bool Partial() const;

  int64_t runTime() const { return summary_.runTime; }

 private:
  // A name, and its latest row as the first reading found it.
  struct NameRow {
    uint64_t line;     // its line in its export (0: a file)
    uint64_t row;      // its number among the rows counted
    uint32_t source;   // the number of the file or stream it comes from
    uint32_t written;  // seconds since 1970; 0 when it gives no time
    uint64_t nameAt : 61;  // where the name stands in the name blocks
    uint64_t expected : 1;
    uint64_t reported : 1;  // it has a row
    uint64_t repeated : 1;  // it has more than one
  };

  // Whether `machine` is known by its name.
  // A row without a name is a machine of its own, as before names counted.
  bool Tracks(const FleetMachine& machine) const {
    return !machine.name.empty() && (summary_.expecting || machine.reportsInstalled || machine.ownRow);
  }

  // The number of the name, or kNoName; with `add`, added where new.
  size_t Find(std::string_view name, bool add);
  std::string_view NameOf(const NameRow& name) const;
  void Grow();
  std::string_view SourceName(uint32_t source) const;
  void Note(std::vector<std::string>& names, std::string_view name);

  static constexpr size_t kNoName = SIZE_MAX;

  int64_t maxAgeSeconds_;
  RollCallSummary summary_;
  size_t reportedExpected_ = 0;
  ChunkedArray<NameRow> names_;
  // A slot holds a name's hash (its low 32 bits, which place it) and its
  // number + 1 above them; 0 when free.
  std::vector<uint64_t> slots_;
  // The names, each after its length, in blocks that never move.
  std::vector<std::unique_ptr<char[]>> nameBlocks_;
  size_t blockUsed_ = 0;
  // By row counted: whether it is superseded, whether its name is
  // expected, and a check of its name and time.
  ChunkedArray<uint32_t> rows_;
  uint64_t taken_ = 0;  // rows taken by the second reading
  // The last part of each source's path that gave a row counted, by source.
  std::string sourceNames_;
  std::vector<uint64_t> sourceStarts_;
  std::string superseded_;
};
