// An export handed to the inventory reader in pieces of `piece` bytes, so
// that every boundary between reads is crossed somewhere.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

struct Pieces {
  const std::string* bytes;
  size_t at;
  size_t piece;
};

// The reader's read callback over a `Pieces`: at most `piece` bytes a call.
inline size_t ReadPieces(void* context, char* buffer, size_t size) {
  auto* pieces = static_cast<Pieces*>(context);
  size_t count = std::min({size, pieces->piece, pieces->bytes->size() - pieces->at});
  std::memcpy(buffer, pieces->bytes->data() + pieces->at, count);
  pieces->at += count;
  return count;
}
