// Inventory exports (CSV, RFC 4180, as PowerShell, configuration managers
// and Linux inventories write them) read as a stream: one row at a time into
// buffers reused from row to row, so that an export of any size costs the
// memory of its longest row. Text comes out as UTF-8 whatever the export's
// encoding: UTF-8 with or without a byte-order mark, UTF-16 LE or BE after
// one, and bytes that are not UTF-8 read as Windows-1252, as a spreadsheet's
// "ANSI" export is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The header names of the columns that hold the BIOS version and the
// platform name; empty for the usual ones ("bios_version" or
// "SMBIOSBIOSVersion", and "platform_name").
struct InventoryColumns {
  std::string biosVersion;
  std::string platformName;
};

// A row: its name (the first cell), its BIOS version and platform name, in
// the reader's buffer until the next row is read.
struct InventoryRow {
  std::string_view name;
  std::string_view biosVersion;
  std::string_view platformName;  // empty also when the export has no such column
  uint64_t line;             // where the row starts in the export, from 1
  bool complete;             // it has the cells of the columns it needs
  bool tooLong;              // it is longer than kLongestInventoryRow; its cells are cut
  bool plain;                // no cell holds a comma, a quote or a line break
};

// Longer rows are reported, not held.
constexpr size_t kLongestInventoryRow = 1 << 20;

// Writes up to `size` bytes of the export into `buffer` and returns how many;
// 0 at its end or on a failed read.
using InventoryBytes = size_t (*)(void* context, char* buffer, size_t size);

class InventoryReader {
 public:
  InventoryReader(InventoryBytes read, void* context);

  // Reads the header (after a first line that starts with "#TYPE", which
  // PowerShell's Export-Csv writes): false when it holds no BIOS version
  // column of `columns`. Header names match without regard to letter case
  // and surrounding blanks.
  bool ReadHeader(const InventoryColumns& columns);

  // Whether the header has a platform-name column.
  bool HasPlatformColumn() const { return platformColumn_ >= 0; }

  // Reads the next row that is not blank into `row`; false at the end.
  bool ReadRow(InventoryRow& row);

 private:
  enum class Encoding { kUnknown, kUtf8, kUtf16Little, kUtf16Big };
  enum class State { kUnquoted, kQuoted, kQuoteInQuoted };

  // Decodes more of the export into text_; false at its end.
  bool Decode();
  // Reads the next record's cells into recordData_ and cellEnds_; false at
  // the end.
  bool ReadRecord();
  // Reads a line without quotes that lies whole in text_, where it is.
  bool ReadLineInPlace();
  // Reads a record into record_, character by character.
  bool ReadRecordCopied();
  // Appends to the record as much of `count` bytes at `text` as its limit lets in.
  void AppendToRecord(const char* text, size_t count);
  std::string_view Cell(int index) const;

  InventoryBytes read_;
  void* context_;
  Encoding encoding_ = Encoding::kUnknown;
  std::vector<char> raw_;  // bytes read and not yet decoded
  size_t rawUsed_ = 0;
  bool rawEnded_ = false;
  std::string text_;  // decoded UTF-8 not yet parsed
  size_t textAt_ = 0;
  State state_ = State::kUnquoted;
  bool skipLineFeed_ = false;  // a record ended at "\r"
  uint64_t line_ = 1;
  uint64_t recordLine_ = 1;
  bool recordTooLong_ = false;
  const char* recordData_ = nullptr;  // the cells' bytes, one after another, in text_ or record_
  size_t recordSize_ = 0;
  std::string record_;  // a record that was read character by character
  std::vector<size_t> cellEnds_;  // each cell ends there, and the next begins after one byte
  int biosColumn_ = -1;
  int platformColumn_ = -1;
};

// Whether `start`, the first bytes of a file, begins an inventory export
// whose header holds a BIOS version column of `columns`.
bool StartsInventory(const std::string& start, const InventoryColumns& columns);
