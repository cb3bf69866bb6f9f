#include "fleet/pair_table.h"

#include <cstring>

namespace {

// `hash` with the bytes of `text` mixed in, eight at a time.
uint64_t MixIn(uint64_t hash, std::string_view text) {
  auto mix = [](uint64_t value, uint64_t word) {
    value = (value ^ word) * 0x9E3779B97F4A7C15u;
    return value ^ value >> 29;
  };
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    hash = mix(hash, word);
  }
  uint64_t rest = 0;
  for (size_t i = at; i < text.size(); ++i) rest |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i - at));
  return mix(hash, rest ^ uint64_t{text.size()} << 56);
}

// The hash of a pair's key: its low bits choose the first slot to probe,
// its high half is kept in the slot.
uint64_t HashPairKey(std::string_view token, std::string_view platformName) {
  return MixIn(MixIn(0x243F6A8885A308D3u, token), platformName);
}

// A slot holds the high half of its key's hash and its pair's number plus
// one, so that 0 is an empty slot. A fleet has fewer than 2^32 pairs.
uint64_t PackSlot(uint64_t hash, size_t number) { return hash >> 32 << 32 | (number + 1); }
size_t SlotNumber(uint64_t slot) { return static_cast<size_t>((slot & 0xFFFFFFFF) - 1); }
bool SlotHashMatches(uint64_t slot, uint64_t hash) { return slot >> 32 == hash >> 32; }

}  // namespace

std::string_view PairKey(const PairDecision& pair) {
  return {pair.longKey != nullptr ? pair.longKey->data() : pair.keyInPlace, pair.keyLength};
}

std::string_view PairToken(const PairDecision& pair) { return PairKey(pair).substr(0, pair.tokenLength); }

std::string_view PairPlatformName(const PairDecision& pair) { return PairKey(pair).substr(pair.tokenLength + 1); }

size_t PairTable::FindOrAdd(std::string_view token, std::string_view platformName, bool& added) {
  uint64_t hash = HashPairKey(token, platformName);
  size_t mask = slots_.size() - 1;
  for (size_t at = hash & mask; slots_[at] != 0; at = (at + 1) & mask) {
    if (!SlotHashMatches(slots_[at], hash)) continue;
    const PairDecision& known = pairs_[SlotNumber(slots_[at])];
    if (PairToken(known) == token && known.keyLength == token.size() + 1 + platformName.size() &&
        PairPlatformName(known) == platformName) {
      added = false;
      return SlotNumber(slots_[at]);
    }
  }
  std::string key(token);
  key += '\0';
  key += platformName;
  PairDecision& pair = pairs_.emplace_back();
  pair.verdict = nullptr;
  pair.machines = {};
  pair.keyLength = static_cast<uint16_t>(key.size());
  pair.tokenLength = static_cast<uint16_t>(token.size());
  pair.longKey = key.size() > sizeof pair.keyInPlace ? &longKeys_.emplace_back(key) : nullptr;
  if (pair.longKey == nullptr) std::memcpy(pair.keyInPlace, key.data(), key.size());
  Place(hash, pairs_.size() - 1);
  if (2 * pairs_.size() > slots_.size()) Grow();
  added = true;
  return pairs_.size() - 1;
}

void PairTable::Place(uint64_t hash, size_t number) {
  size_t mask = slots_.size() - 1;
  size_t at = hash & mask;
  while (slots_[at] != 0) at = (at + 1) & mask;
  slots_[at] = PackSlot(hash, number);
}

void PairTable::Grow() {
  slots_.assign(2 * slots_.size(), 0);
  for (size_t number = 0; number < pairs_.size(); ++number) {
    Place(HashPairKey(PairToken(pairs_[number]), PairPlatformName(pairs_[number])), number);
  }
}
