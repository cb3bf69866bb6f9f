// An export handed to the inventory reader in pieces of `piece` bytes, so
// that every boundary between reads is crossed somewhere.
#pragma once

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <string>

#include "fleet/inventory_reader.h"

struct Pieces {
  const std::string* bytes;
  size_t at;
  size_t piece;
  size_t failAt = SIZE_MAX;  // a read that reaches this byte fails, as a disk's can
};

// The reader's read callback over a `Pieces`: at most `piece` bytes a call.
inline size_t ReadPieces(void* context, char* buffer, size_t size) {
  auto* pieces = static_cast<Pieces*>(context);
  if (pieces->at >= pieces->failAt) return kInventoryReadFailed;
  size_t count = std::min({size, pieces->piece, pieces->bytes->size() - pieces->at, pieces->failAt - pieces->at});
  std::memcpy(buffer, pieces->bytes->data() + pieces->at, count);
  pieces->at += count;
  return count;
}
