// The distinct pairs of a fleet, each found by its key: what the
// installer's selection reads of a machine, the first token of its BIOS
// version and its platform name.
//
// A fleet of 10,000,000 machines may hold a few thousand pairs or hundreds
// of thousands, and every machine looks its pair up once. So a pair is one
// cache line (PairDecision: its key in place when it is short, its counts
// and its decision), and the table over the pairs uses open addressing:
// one array of 8-byte slots, at most half full, each the high half of a
// key's hash beside its pair's number, probed linearly. A lookup then reads
// one or two slots and one pair. With 100,000 pairs what the lookups read
// fits 12 MB; std::unordered_map, a node per pair, took 1.65 times as long
// and 46 MB (docs/performance.md).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_sources.h"

struct PairVerdict;

// The decision for one key, with its machines counted by kind, in one cache
// line.
struct alignas(64) PairDecision {
  const PairVerdict* verdict;
  std::array<uint32_t, kMachineKinds> machines;  // the low half of each count
  uint16_t keyLength;
  uint16_t tokenLength;
  // The key: the token, a zero byte and the platform name; here when it
  // fits, else in longKey.
  char keyInPlace[32];
  const std::string* longKey;
};

// The key of `pair`, its token (empty without one), and its platform name
// as the selection reads it.
std::string_view PairKey(const PairDecision& pair);
std::string_view PairToken(const PairDecision& pair);
std::string_view PairPlatformName(const PairDecision& pair);

class PairTable {
 public:
  // The number of the pair whose key is `token` and `platformName`; a new
  // one, with no verdict and no machines, when none has that key, and then
  // `added` is set.
  size_t FindOrAdd(std::string_view token, std::string_view platformName, bool& added);

  size_t size() const { return pairs_.size(); }
  // Pair `number`, valid until the next pair is added.
  PairDecision& operator[](size_t number) { return pairs_[number]; }
  const PairDecision& operator[](size_t number) const { return pairs_[number]; }

 private:
  // Puts pair `number` of key hash `hash` in the first free slot from its own.
  void Place(uint64_t hash, size_t number);
  // Doubles the slots once over half of them are taken.
  void Grow();

  std::vector<PairDecision> pairs_;  // in the order they came
  std::vector<uint64_t> slots_ = std::vector<uint64_t>(1024);  // 0: empty
  std::deque<std::string> longKeys_;
};
