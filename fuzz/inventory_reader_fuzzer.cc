// Arbitrary bytes as an inventory export, read whole and in pieces whose
// sizes the first byte sets, with records of at most 64 bytes when its high
// bit is set, so that inputs of a few KB reach the records that pass the
// limit. Any difference between the two readings, a row whose texts are not
// UTF-8, or a row that is neither whole nor reported aborts, and so does any
// crash.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "fleet/inventory_reader.h"
#include "tests/pieces_reader.h"

namespace {

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    int taken = DecodeUtf8(text.data() + i, text.size() - i, code);
    if (taken <= 0) return false;
    i += static_cast<size_t>(taken);
  }
  return true;
}

std::vector<std::string> Rows(const std::string& bytes, size_t piece, size_t longestRecord) {
  Pieces pieces{&bytes, 0, piece};
  InventoryReader reader(ReadPieces, &pieces, longestRecord);
  std::vector<std::string> rows;
  InventoryHeader header = reader.ReadHeader({});
  if (header != InventoryHeader::kRead) return {std::to_string(static_cast<int>(header))};
  InventoryRow row;
  while (reader.ReadRow(row)) {
    // A row cut at the limit gives no cells at all.
    if (!IsUtf8(row.name) || (row.tooLong && !row.name.empty())) std::abort();
    std::string cells(row.name);
    for (std::string_view cell : row.cells) {
      if (!IsUtf8(cell) || (row.tooLong && !cell.empty())) std::abort();
      cells += '\0' + std::string(cell);
    }
    // A whole row has its BIOS version cell, or it is reported.
    rows.push_back(row.complete ? cells : "line " + std::to_string(row.line));
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = 1 + (data[0] & 0x7F) % 7;
  size_t longestRecord = (data[0] & 0x80) != 0 ? 64 : kLongestInventoryRow;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (Rows(bytes, SIZE_MAX, longestRecord) != Rows(bytes, piece, longestRecord)) std::abort();
  return 0;
}
