#include "fleet/inventory_reader.h"

#include <algorithm>
#include <cstring>

#include "common/utf8.h"
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

struct MemoryBytes {
  const std::string* bytes;
  size_t at;
};

size_t ReadMemory(void* context, char* buffer, size_t size) {
  auto* memory = static_cast<MemoryBytes*>(context);
  size_t count = std::min(size, memory->bytes->size() - memory->at);
  std::copy_n(memory->bytes->data() + memory->at, count, buffer);
  memory->at += count;
  return count;
}

}  // namespace

InventoryReader::InventoryReader(InventoryBytes read, void* context)
    : read_(read), context_(context), raw_(kReadBlock) {}

bool InventoryReader::Decode() {
  if (rawEnded_ && rawUsed_ == 0) return false;
  if (!rawEnded_) {
    size_t count = read_(context_, raw_.data() + rawUsed_, raw_.size() - rawUsed_);
    rawEnded_ = count == 0;
    rawUsed_ += count;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(raw_.data());
  size_t at = 0;
  if (encoding_ == Encoding::kUnknown) {
    // The byte-order mark needs its bytes, unless the export is shorter.
    if (rawUsed_ < 3 && !rawEnded_) return true;
    encoding_ = Encoding::kUtf8;
    if (rawUsed_ >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) encoding_ = Encoding::kUtf16Little;
    if (rawUsed_ >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) encoding_ = Encoding::kUtf16Big;
    at = encoding_ != Encoding::kUtf8 ? 2
         : rawUsed_ >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3
                                                                                   : 0;
  }
  text_.erase(0, textAt_);
  textAt_ = 0;
  if (encoding_ == Encoding::kUtf8 && AllAscii(raw_.data() + at, rawUsed_ - at)) {
    text_.append(raw_.data() + at, rawUsed_ - at);
    at = rawUsed_;
  } else if (encoding_ == Encoding::kUtf8) {
    while (at < rawUsed_) {
      // Runs of ASCII go across whole.
      size_t plain = at;
      while (plain < rawUsed_ && bytes[plain] < 0x80) ++plain;
      text_.append(raw_.data() + at, plain - at);
      at = plain;
      if (at == rawUsed_) break;
      uint32_t code = 0;
      int taken = DecodeUtf8(raw_.data() + at, rawUsed_ - at, code);
      if (taken < 0 && !rawEnded_) break;  // the rest of it comes with the next read
      if (taken <= 0) {
        code = Windows1252CodePoint(bytes[at]);
        taken = 1;
      }
      AppendUtf8(text_, code);
      at += static_cast<size_t>(taken);
    }
  } else {
    bool little = encoding_ == Encoding::kUtf16Little;
    auto unit = [bytes, little](size_t i) -> uint32_t {
      return little ? bytes[i] | bytes[i + 1] << 8 : bytes[i] << 8 | bytes[i + 1];
    };
    while (rawUsed_ - at >= 2) {
      uint32_t code = unit(at);
      size_t taken = 2;
      if (code >= 0xD800 && code <= 0xDBFF) {
        if (rawUsed_ - at < 4 && !rawEnded_) break;
        uint32_t low = rawUsed_ - at >= 4 ? unit(at + 2) : 0;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          taken = 4;
        }
      }
      // An unpaired surrogate has no place in UTF-8.
      AppendUtf8(text_, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
      at += taken;
    }
    // A last odd byte is no character.
    if (rawEnded_ && rawUsed_ - at == 1) at = rawUsed_;
  }
  std::memmove(raw_.data(), raw_.data() + at, rawUsed_ - at);
  rawUsed_ -= at;
  return true;
}

void InventoryReader::AppendToRecord(const char* text, size_t count) {
  size_t room = kLongestInventoryRow - recordSize_;
  if (count > room) {
    recordTooLong_ = true;
    count = room;
  }
  if (recordSize_ + count > record_.size()) record_.resize(std::max(2 * record_.size(), recordSize_ + count));
  std::memcpy(&record_[recordSize_], text, count);
  recordSize_ += count;
}

bool InventoryReader::ReadRecord() {
  recordSize_ = 0;
  cellEnds_.clear();
  recordTooLong_ = false;
  recordLine_ = line_;
  state_ = State::kUnquoted;
  if (ReadLineInPlace()) return true;
  bool read = ReadRecordCopied();
  recordData_ = record_.data();
  return read;
}

bool InventoryReader::ReadLineInPlace() {
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
  // line feed, needs the whole rules.
  if (cells > kLongestInventoryRow || !FindCommas(line, cells, cellEnds_)) {
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
    if (textAt_ == text_.size()) {
      if (Decode()) continue;
      // The export's end closes its last record.
      if (!started) return false;
      cellEnds_.push_back(recordSize_);
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
    auto stop = static_cast<size_t>(FindCsvSpecial(text + textAt_, text + end) - text);
    if (stop > textAt_) {
      AppendToRecord(text + textAt_, stop - textAt_);
      textAt_ = stop;
      continue;
    }
    char c = text[textAt_++];
    if (c == '"') {
      state_ = State::kQuoted;
    } else if (c == ',') {
      // Cells stay apart by their comma, as in a line read in place.
      cellEnds_.push_back(recordSize_);
      AppendToRecord(",", 1);
    } else {
      ++line_;
      skipLineFeed_ = c == '\r';
      cellEnds_.push_back(recordSize_);
      return true;
    }
  }
}

std::string_view InventoryReader::Cell(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= cellEnds_.size()) return {};
  size_t start = index == 0 ? 0 : cellEnds_[static_cast<size_t>(index) - 1] + 1;
  return std::string_view(recordData_ + start, cellEnds_[static_cast<size_t>(index)] - start);
}

bool InventoryReader::ReadHeader(const InventoryColumns& columns) {
  if (!ReadRecord()) return false;
  if (recordLine_ == 1 && Cell(0).substr(0, 5) == "#TYPE" && !ReadRecord()) return false;
  auto column = [this](const std::string& name) {
    for (size_t i = 0; i < cellEnds_.size(); ++i) {
      if (HeaderName(std::string(Cell(static_cast<int>(i)))) == HeaderName(name)) return static_cast<int>(i);
    }
    return -1;
  };
  if (!columns.biosVersion.empty()) {
    biosColumn_ = column(columns.biosVersion);
  } else {
    for (const char* name : kBiosVersionNames) {
      if (biosColumn_ < 0) biosColumn_ = column(name);
    }
  }
  platformColumn_ = column(columns.platformName.empty() ? kPlatformName : columns.platformName);
  return biosColumn_ >= 0;
}

bool InventoryReader::ReadRow(InventoryRow& row) {
  // A blank line is no row.
  do {
    if (!ReadRecord()) return false;
  } while (cellEnds_.size() == 1 && recordSize_ == 0 && !recordTooLong_);
  row.line = recordLine_;
  row.tooLong = recordTooLong_;
  // A line read in place has no quotes, so its cells hold none of them.
  row.plain = recordData_ != record_.data();
  size_t needed = static_cast<size_t>(std::max(biosColumn_, platformColumn_)) + 1;
  row.complete = cellEnds_.size() >= needed && !recordTooLong_;
  row.name = Cell(0);
  row.biosVersion = Cell(biosColumn_);
  row.platformName = Cell(platformColumn_);
  return true;
}

bool StartsInventory(const std::string& start, const InventoryColumns& columns) {
  // A firmware table has zero bytes before its first line ends; an export's
  // first line has none, unless it is UTF-16.
  auto first = static_cast<uint8_t>(start.empty() ? 0 : start[0]);
  if (first != 0xFF && first != 0xFE) {
    size_t lineEnd = start.find_first_of("\r\n");
    if (start.find('\0') < lineEnd) return false;
  }
  MemoryBytes memory{&start, 0};
  InventoryReader reader(ReadMemory, &memory);
  return reader.ReadHeader(columns);
}
