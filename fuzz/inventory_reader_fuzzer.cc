// Arbitrary bytes as an inventory export, read whole and in pieces whose
// sizes the first byte sets, with records of at most 64 bytes when its high
// bit is set, so that inputs of a few KB reach the records that pass the
// limit. Both readings are compared, cell by cell, with a plain reference
// reader of the same rules below (a loop over characters, no speed work),
// so that a merged or cut row is a finding. Any difference, a row whose
// texts are not UTF-8, or a row that is neither whole nor reported aborts,
// and so does any crash.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "fleet/inventory_reader.h"
#include "fleet/text_decoder.h"
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

// A record as the rules read it: its cells, the line it starts on, and
// whether it passed the limit.
struct PlainRecord {
  std::vector<std::string> cells;
  uint64_t line;
  bool cut;
};

// The records of decoded `text`: commas part cells, "\n", "\r\n" or a lone
// "\r" ends a record, and a quote opens quotes only as a cell's first
// character; inside quotes a doubled quote is one, and a lone one closes
// them. A record longer than `longestRecord` (cells and commas) is cut.
std::vector<PlainRecord> PlainRecords(const std::string& text, size_t longestRecord) {
  std::vector<PlainRecord> records;
  uint64_t line = 1;
  size_t i = 0;
  while (i < text.size()) {
    PlainRecord record{{""}, line, false};
    size_t size = 0;
    bool quoted = false;
    bool cellStart = true;
    bool ended = false;
    while (i < text.size() && !ended) {
      char c = text[i++];
      if (quoted) {
        if (c == '"' && i < text.size() && text[i] == '"') {
          record.cells.back() += '"';
          ++i;
          ++size;
        } else if (c == '"') {
          quoted = false;
        } else {
          if (c == '\n') ++line;
          record.cells.back() += c;
          ++size;
        }
        continue;
      }
      if (c == '"' && cellStart) {
        quoted = true;
        cellStart = false;
      } else if (c == ',') {
        record.cells.emplace_back();
        ++size;
        cellStart = true;
      } else if (c == '\n' || c == '\r') {
        if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
        ++line;
        ended = true;
      } else {
        record.cells.back() += c;
        ++size;
        cellStart = false;
      }
    }
    record.cut = size > longestRecord;
    records.push_back(record);
  }
  return records;
}

// A header name as the reader matches it: without blanks around it, in
// lower case.
std::string Matched(std::string name) {
  size_t first = name.find_first_not_of(" \t");
  name = first == std::string::npos ? "" : name.substr(first, name.find_last_not_of(" \t") - first + 1);
  for (char& c : name) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return name;
}

// The rows of `bytes` as Rows gives them, by the plain rules.
std::vector<std::string> PlainRows(const std::string& bytes, size_t longestRecord) {
  std::string text;
  TextDecoder().Decode(bytes.data(), bytes.size(), true, text);
  std::vector<PlainRecord> records = PlainRecords(text, longestRecord);
  size_t at = 0;
  if (!records.empty() && !records[0].cut && records[0].cells[0].compare(0, 5, "#TYPE") == 0) ++at;
  if (at >= records.size()) return {std::to_string(static_cast<int>(InventoryHeader::kEmpty))};
  const PlainRecord& header = records[at++];
  if (header.cut) return {std::to_string(static_cast<int>(InventoryHeader::kTooLong))};
  auto column = [&header](const char* name) {
    for (size_t i = 0; i < header.cells.size(); ++i) {
      if (Matched(header.cells[i]) == Matched(name)) return static_cast<int>(i);
    }
    return -1;
  };
  std::array<int, kInventoryColumns> columns{};
  columns[kBiosVersionColumn] = column("bios_version") >= 0 ? column("bios_version") : column("SMBIOSBIOSVersion");
  columns[kPlatformNameColumn] = column("platform_name");
  columns[kAcInstalledColumn] = column("ac_installed");
  columns[kDcInstalledColumn] = column("dc_installed");
  columns[kAcSha256Column] = column("ac_sha256");
  columns[kDcSha256Column] = column("dc_sha256");
  columns[kWrittenColumn] = column("written");
  columns[kErrorColumn] = column("error");
  if (columns[kBiosVersionColumn] < 0) return {std::to_string(static_cast<int>(InventoryHeader::kNoBiosVersionColumn))};
  size_t needed = static_cast<size_t>(*std::max_element(columns.begin(), columns.end()) + 1);
  std::vector<std::string> rows;
  for (; at < records.size(); ++at) {
    const PlainRecord& record = records[at];
    bool blank = record.cells.size() == 1 && record.cells[0].empty() && !record.cut;
    if (blank || (!record.cut && record.cells == header.cells)) continue;
    if (record.cut || record.cells.size() < needed) {
      rows.push_back("line " + std::to_string(record.line));
      continue;
    }
    std::string cells = record.cells[0];
    for (int index : columns) cells += '\0' + (index >= 0 ? record.cells[static_cast<size_t>(index)] : "");
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = 1 + (data[0] & 0x7F) % 7;
  size_t longestRecord = (data[0] & 0x80) != 0 ? 64 : kLongestInventoryRow;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> whole = Rows(bytes, SIZE_MAX, longestRecord);
  if (whole != Rows(bytes, piece, longestRecord) || whole != PlainRows(bytes, longestRecord)) std::abort();
  return 0;
}
