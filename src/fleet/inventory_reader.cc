#include "fleet/inventory_reader.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "fleet/csv_bytes.h"

namespace {

// The bytes read at a time.
constexpr size_t kReadBlock = 1 << 16;

// The usual names of the columns, as exports write them.
constexpr const char* kBiosVersionNames[] = {"bios_version", "SMBIOSBIOSVersion"};
constexpr char kPlatformName[] = "platform_name";

// A header cell without its surrounding blanks, in lower case: header names
// are matched without regard to either.
std::string HeaderName(std::string cell) {
  size_t first = cell.find_first_not_of(" \t");
  size_t last = cell.find_last_not_of(" \t");
  cell = first == std::string::npos ? "" : cell.substr(first, last - first + 1);
  std::transform(cell.begin(), cell.end(), cell.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return cell;
}

}  // namespace

size_t ReadStringBytes(void* context, char* buffer, size_t size) {
  auto* source = static_cast<StringBytes*>(context);
  size_t count = std::min(size, source->bytes->size() - source->at);
  std::copy_n(source->bytes->data() + source->at, count, buffer);
  source->at += count;
  return count;
}

InventoryReader::InventoryReader(InventoryBytes read, void* context, size_t longestRecord)
    : longestRecord_(longestRecord), raw_(kReadBlock) {
  Start(read, context);
}

void InventoryReader::Start(InventoryBytes read, void* context) {
  read_ = read;
  context_ = context;
  decoder_ = TextDecoder();
  rawUsed_ = 0;
  rawEnded_ = false;
  readFailed_ = false;
  bytesRead_ = 0;
  text_.clear();
  textAt_ = 0;
  state_ = State::kCellStart;
  skipLineFeed_ = false;
  line_ = 1;
  recordSize_ = 0;
  cellEnds_.clear();
  headerNames_.clear();
  columns_.fill(-1);
}

bool InventoryReader::Decode() {
  if (readFailed_ || (rawEnded_ && rawUsed_ == 0)) return false;
  if (!rawEnded_) {
    size_t count = read_(context_, raw_.data() + rawUsed_, raw_.size() - rawUsed_);
    if (count == kInventoryReadFailed) {
      // What was read before stands; the record the failure cut is lost.
      readFailed_ = true;
      return false;
    }
    assert(count <= raw_.size() - rawUsed_);
    rawEnded_ = count == 0;
    rawUsed_ += count;
    bytesRead_ += count;
  }
  text_.erase(0, textAt_);
  textAt_ = 0;
  size_t taken = decoder_.Decode(raw_.data(), rawUsed_, rawEnded_, text_);
  std::memmove(raw_.data(), raw_.data() + taken, rawUsed_ - taken);
  rawUsed_ -= taken;
  return true;
}

void InventoryReader::AppendToRecord(const char* text, size_t count) {
  size_t room = longestRecord_ - recordSize_;
  if (count > room) {
    // A cut record's cells are not whole, and its separators are gone: it
    // gives none of them.
    recordCut_ = true;
    cellEnds_.clear();
    count = room;
  }
  if (recordSize_ + count > record_.size()) record_.resize(std::max(2 * record_.size(), recordSize_ + count));
  std::memcpy(&record_[recordSize_], text, count);
  recordSize_ += count;
}

void InventoryReader::EndCell() {
  if (recordCut_) return;
  assert(cellEnds_.empty() || cellEnds_.back() < recordSize_);
  cellEnds_.push_back(recordSize_);
}

bool InventoryReader::ReadRecord() {
  recordSize_ = 0;
  cellEnds_.clear();
  recordCut_ = false;
  recordLine_ = line_;
  state_ = State::kCellStart;
  recordPlain_ = ReadLineInPlace();
  if (recordPlain_) return true;
  bool read = ReadRecordCopied();
  recordData_ = record_.data();
  return read;
}

bool InventoryReader::ReadLineInPlace() {
  assert(textAt_ <= text_.size());
  if (skipLineFeed_ && textAt_ < text_.size()) {
    skipLineFeed_ = false;
    if (text_[textAt_] == '\n') ++textAt_;
  }
  size_t lineFeed = text_.find('\n', textAt_);
  if (skipLineFeed_ || lineFeed == std::string::npos) return false;
  const char* line = text_.data() + textAt_;
  size_t length = lineFeed - textAt_ + 1;
  size_t cells = length > 1 && text_[lineFeed - 1] == '\r' ? length - 2 : length - 1;
  // Commas end cells; a quote, or a carriage return that is not before the
  // line feed, needs the whole rules, and so does a line past the limit.
  if (cells > longestRecord_ || !FindCommas(line, cells, cellEnds_)) {
    cellEnds_.clear();
    return false;
  }
  cellEnds_.push_back(cells);
  recordData_ = line;
  recordSize_ = cells;
  textAt_ += length;
  ++line_;
  return true;
}

bool InventoryReader::ReadRecordCopied() {
  bool started = false;
  for (;;) {
    assert(textAt_ <= text_.size());
    if (textAt_ == text_.size()) {
      if (Decode()) continue;
      // The export's end closes its last record; a failed read does not.
      if (!started || readFailed_) return false;
      EndCell();
      return true;
    }
    const char* text = text_.data();
    size_t end = text_.size();
    if (skipLineFeed_) {
      skipLineFeed_ = false;
      if (text[textAt_] == '\n') ++textAt_;
      continue;
    }
    started = true;
    if (state_ == State::kQuoted) {
      const auto* quote = static_cast<const char*>(std::memchr(text + textAt_, '"', end - textAt_));
      size_t stop = quote != nullptr ? static_cast<size_t>(quote - text) : end;
      line_ += static_cast<uint64_t>(std::count(text + textAt_, text + stop, '\n'));
      AppendToRecord(text + textAt_, stop - textAt_);
      textAt_ = stop;
      if (quote != nullptr) {
        ++textAt_;
        state_ = State::kQuoteInQuoted;
      }
      continue;
    }
    if (state_ == State::kQuoteInQuoted) {
      // A doubled quote is one quote in the cell; any other character ends
      // the quotes.
      state_ = text[textAt_] == '"' ? State::kQuoted : State::kUnquoted;
      if (state_ == State::kQuoted) {
        AppendToRecord(text + textAt_++, 1);
        continue;
      }
    }
    if (state_ == State::kCellStart) {
      // Only a cell's first character can open quotes: elsewhere a quote is
      // part of the cell, so that a stray one never joins rows together.
      state_ = State::kUnquoted;
      if (text[textAt_] == '"') {
        ++textAt_;
        state_ = State::kQuoted;
        continue;
      }
    }
    auto stop = static_cast<size_t>(FindCsvSpecial(text + textAt_, text + end) - text);
    if (stop > textAt_) {
      AppendToRecord(text + textAt_, stop - textAt_);
      textAt_ = stop;
      continue;
    }
    char c = text[textAt_++];
    if (c == '"') {
      AppendToRecord(&c, 1);
    } else if (c == ',') {
      // Cells stay apart by their comma, as in a line read in place.
      EndCell();
      AppendToRecord(",", 1);
      state_ = State::kCellStart;
    } else {
      ++line_;
      skipLineFeed_ = c == '\r';
      EndCell();
      return true;
    }
  }
}

std::string_view InventoryReader::Cell(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= cellEnds_.size()) return {};
  size_t start = index == 0 ? 0 : cellEnds_[static_cast<size_t>(index) - 1] + 1;
  size_t end = cellEnds_[static_cast<size_t>(index)];
  assert(start <= end && end <= recordSize_);
  return std::string_view(recordData_ + start, end - start);
}

InventoryHeader InventoryReader::ReadHeader(const InventoryColumns& columns) {
  if (!ReadRecord()) return InventoryHeader::kEmpty;
  if (recordLine_ == 1 && Cell(0).substr(0, 5) == "#TYPE" && !ReadRecord()) return InventoryHeader::kEmpty;
  if (recordCut_) return InventoryHeader::kTooLong;
  headerNames_.clear();
  std::vector<std::string> matched;  // each name as names are matched
  for (size_t i = 0; i < cellEnds_.size(); ++i) {
    headerNames_.emplace_back(Cell(static_cast<int>(i)));
    matched.push_back(HeaderName(headerNames_.back()));
  }
  auto column = [&matched](const std::string& name) {
    auto found = std::find(matched.begin(), matched.end(), HeaderName(name));
    return found == matched.end() ? -1 : static_cast<int>(found - matched.begin());
  };
  if (!columns.biosVersion.empty()) {
    columns_[kBiosVersionColumn] = column(columns.biosVersion);
  } else {
    for (const char* name : kBiosVersionNames) {
      if (columns_[kBiosVersionColumn] < 0) columns_[kBiosVersionColumn] = column(name);
    }
  }
  columns_[kPlatformNameColumn] = column(columns.platformName.empty() ? kPlatformName : columns.platformName);
  columns_[kAcInstalledColumn] = column("ac_installed");
  columns_[kDcInstalledColumn] = column("dc_installed");
  columns_[kAcSha256Column] = column(columns.acSha256.empty() ? "ac_sha256" : columns.acSha256);
  columns_[kDcSha256Column] = column(columns.dcSha256.empty() ? "dc_sha256" : columns.dcSha256);
  columns_[kWrittenColumn] = column("written");
  columns_[kErrorColumn] = column("error");
  int lastColumn = *std::max_element(columns_.begin(), columns_.end());
  cellsNeeded_ = static_cast<size_t>(lastColumn) + 1;
  return HasColumn(kBiosVersionColumn) ? InventoryHeader::kRead : InventoryHeader::kNoBiosVersionColumn;
}

bool InventoryReader::RecordIsHeader() const {
  if (cellEnds_.size() != headerNames_.size()) return false;
  for (size_t i = 0; i < headerNames_.size(); ++i) {
    if (Cell(static_cast<int>(i)) != headerNames_[i]) return false;
  }
  return true;
}

bool InventoryReader::ReadRow(InventoryRow& row) {
  // A blank line is no row, nor is the header again.
  do {
    if (!ReadRecord()) return false;
  } while ((cellEnds_.size() == 1 && recordSize_ == 0) || RecordIsHeader());
  row.line = recordLine_;
  row.tooLong = recordCut_;
  row.plain = recordPlain_;
  row.cellCount = cellEnds_.size();
  // A row short of a column that is read would give that column's cell as
  // empty: a copy cut before its hash cells would read as "not installed".
  row.complete = cellEnds_.size() >= cellsNeeded_;
  row.name = Cell(0);
  for (size_t column = 0; column < kInventoryColumns; ++column) row.cells[column] = Cell(columns_[column]);
  return true;
}

bool StartsAsText(const std::string& start) {
  // UTF-16 text holds zero bytes; it begins with its byte-order mark.
  auto first = static_cast<uint8_t>(start.empty() ? 0 : start[0]);
  if (first == 0xFF || first == 0xFE) return true;
  return start.find('\0') >= start.find_first_of("\r\n");
}
