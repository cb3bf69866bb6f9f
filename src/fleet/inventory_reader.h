// Inventory exports (CSV, RFC 4180, as PowerShell, configuration managers
// and Linux inventories write them, and as the checker writes its own rows)
// read as a stream: one row at a time into buffers reused from row to row,
// so that an export of any size costs the memory of its longest row. Text
// comes out as UTF-8 whatever the export's encoding (text_decoder.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/text_decoder.h"

// The header names of the columns that hold the BIOS version, the platform
// name and the installed maps' hashes; empty for the usual ones
// ("bios_version" or "SMBIOSBIOSVersion", "platform_name", "ac_sha256" and
// "dc_sha256").
struct InventoryColumns {
  std::string biosVersion;
  std::string platformName;
  std::string acSha256;
  std::string dcSha256;
};

// The columns a row's cells are taken from: the BIOS version's is needed,
// the others may be absent. The installed maps' states and hashes and the
// error are those of the checker's own rows.
enum InventoryColumn : size_t {
  kBiosVersionColumn,
  kPlatformNameColumn,
  kAcInstalledColumn,
  kDcInstalledColumn,
  kAcSha256Column,
  kDcSha256Column,
  kWrittenColumn,
  kErrorColumn,
  kInventoryColumns
};

// A row: its name (the first cell) and the cells of its columns, in the
// reader's buffer until the next row is read; a column that the export does
// not have gives the empty text.
struct InventoryRow {
  std::string_view name;
  std::array<std::string_view, kInventoryColumns> cells;
  uint64_t line;   // where the row starts in the export, from 1
  size_t cellCount;
  bool complete;   // it has a cell for every column the header names that is read
  bool tooLong;    // it is longer than the reader's limit: it has no cells
  bool plain;      // no cell holds a comma, a quote or a line break
};

// Longer records (rows, or the header) are reported, not held.
constexpr size_t kLongestInventoryRow = 1 << 20;

// What the start of an export holds.
enum class InventoryHeader {
  kRead,                 // a header with a BIOS version column
  kEmpty,                // no header at all
  kTooLong,              // a header longer than the limit
  kNoBiosVersionColumn,  // a header without a BIOS version column
};

// Writes up to `size` bytes of the export into `buffer` and returns how many;
// 0 at its end, kInventoryReadFailed on a failed read.
using InventoryBytes = size_t (*)(void* context, char* buffer, size_t size);
constexpr size_t kInventoryReadFailed = static_cast<size_t>(-1);

// Bytes held in memory, handed on from `at`; ReadStringBytes is their
// InventoryBytes.
struct StringBytes {
  const std::string* bytes;
  size_t at;
};
size_t ReadStringBytes(void* context, char* buffer, size_t size);

class InventoryReader {
 public:
  // A reader of the bytes that `read` gives, whose records are at most
  // `longestRecord` bytes long.
  InventoryReader(InventoryBytes read, void* context, size_t longestRecord = kLongestInventoryRow);

  // Starts reading another export, from `read`, with the same buffers: a
  // folder of 100,000 one-row exports takes them from the heap once.
  void Start(InventoryBytes read, void* context);

  // Reads the header (after a first line that starts with "#TYPE", which
  // PowerShell's Export-Csv writes) and finds the columns: the BIOS version
  // and platform name by `columns`, the others by their names
  // ("ac_installed", "dc_installed", "ac_sha256", "dc_sha256", "error"). Header names match without regard to letter case
  // and surrounding blanks.
  InventoryHeader ReadHeader(const InventoryColumns& columns);

  // The header's names, as written, once it was read.
  const std::vector<std::string>& HeaderNames() const { return headerNames_; }

  // Whether the header names `column`.
  bool HasColumn(InventoryColumn column) const { return columns_[column] >= 0; }

  // Reads the next row into `row`, passing over blank lines and lines equal
  // to the header (PowerShell's ">>" appends another header); false at the
  // end, or where a read failed.
  bool ReadRow(InventoryRow& row);

  // Whether a read failed; then the export ended there, and no record that
  // it cut short was given.
  bool ReadFailed() const { return readFailed_; }
  // The bytes read from the export so far, and the line being read.
  uint64_t BytesRead() const { return bytesRead_; }
  uint64_t Line() const { return line_; }

 private:
  // Where the reader stands in a record: at a cell's first character (where
  // a quote opens a quoted cell), inside an unquoted cell (where a quote is
  // a character like any other), inside quotes, or just after a quote
  // inside them.
  enum class State { kCellStart, kUnquoted, kQuoted, kQuoteInQuoted };

  // Decodes more of the export into text_; false at its end.
  bool Decode();
  // Reads the next record's cells into recordData_ and cellEnds_; false at
  // the end.
  bool ReadRecord();
  // Reads a line without quotes that lies whole in text_, where it is.
  bool ReadLineInPlace();
  // Reads a record into record_, character by character.
  bool ReadRecordCopied();
  // Appends to the record as much of `count` bytes at `text` as its limit
  // lets in; past the limit the record is cut.
  void AppendToRecord(const char* text, size_t count);
  // Ends the record's cell at the record's end.
  void EndCell();
  // Cell `index` of the record, empty when it has none or was cut.
  std::string_view Cell(int index) const;
  // Whether the record's cells are the header's names.
  bool RecordIsHeader() const;

  InventoryBytes read_;
  void* context_;
  size_t longestRecord_;
  TextDecoder decoder_;
  std::vector<char> raw_;  // bytes read and not yet decoded: the first rawUsed_
  size_t rawUsed_ = 0;
  bool rawEnded_ = false;
  bool readFailed_ = false;
  uint64_t bytesRead_ = 0;
  // Decoded UTF-8; text_[textAt_, size) is not parsed yet.
  std::string text_;
  size_t textAt_ = 0;
  State state_ = State::kCellStart;
  bool skipLineFeed_ = false;  // a record ended at "\r"
  uint64_t line_ = 1;
  // The record: recordSize_ bytes at recordData_, in text_ (a line read in
  // place) or in record_, its cells one after another, each but the last
  // followed by one separating byte. Cell i ends at cellEnds_[i], so the ends
  // rise and none lies past recordSize_. A cut record keeps no ends.
  const char* recordData_ = nullptr;
  size_t recordSize_ = 0;
  std::vector<size_t> cellEnds_;
  uint64_t recordLine_ = 1;
  bool recordCut_ = false;
  bool recordPlain_ = false;  // read in place: no quotes, so no cell holds a separator
  std::string record_;        // a record that was read character by character
  std::vector<std::string> headerNames_;
  std::array<int, kInventoryColumns> columns_{};
  size_t cellsNeeded_ = 0;  // cells of a row that reaches every column read
};

// Whether `start`, the first bytes of a file, begins as text: its first line
// holds no zero byte, as no firmware table's does.
bool StartsAsText(const std::string& start);
