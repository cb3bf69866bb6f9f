// Arbitrary bytes as an inventory export, read whole and in pieces whose
// sizes the first byte sets. Any difference between the two readings, a row
// whose texts are not UTF-8, or a row that is neither whole nor reported as
// lacking its cells aborts.
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

std::vector<std::string> Rows(const std::string& bytes, size_t piece) {
  Pieces pieces{&bytes, 0, piece};
  InventoryReader reader(ReadPieces, &pieces);
  std::vector<std::string> rows;
  if (!reader.ReadHeader({})) return rows;
  InventoryRow row;
  while (reader.ReadRow(row)) {
    if (!IsUtf8(row.name) || !IsUtf8(row.biosVersion) || !IsUtf8(row.platformName)) std::abort();
    // A whole row has its BIOS version cell, or it is reported.
    rows.push_back(row.complete ? std::string(row.name) + '\0' + std::string(row.biosVersion) + '\0' +
                                      std::string(row.platformName)
                                : "line " + std::to_string(row.line));
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = 1 + data[0] % 7;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (Rows(bytes, SIZE_MAX) != Rows(bytes, piece)) std::abort();
  return 0;
}
