#include "fleet/inventory_reader.h"

#include <algorithm>
#include <cstring>

#include "common/utf8.h"

namespace {

// The bytes read at a time.
constexpr size_t kReadBlock = 1 << 18;

// The usual names of the columns, as exports write them.
constexpr const char* kBiosVersionNames[] = {"bios_version", "SMBIOSBIOSVersion"};
constexpr char kPlatformName[] = "platform_name";

// A header cell without its surrounding blanks, in lower case: header names
// are matched without regard to either.
std::string HeaderName(std::string cell) {
  size_t first = cell.find_first_not_of(" \t");
  size_t last = cell.find_last_not_of(" \t");
  cell = first == std::string::npos ? "" : cell.substr(first, last - first + 1);
  for (char& c : cell) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return cell;
}

struct MemoryBytes {
  const std::string* bytes;
  size_t at;
};

size_t ReadMemory(void* context, char* buffer, size_t size) {
  auto* memory = static_cast<MemoryBytes*>(context);
  size_t count = std::min(size, memory->bytes->size() - memory->at);
  std::memcpy(buffer, memory->bytes->data() + memory->at, count);
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
  if (encoding_ == Encoding::kUtf8) {
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

bool InventoryReader::ReadRecord() {
  record_.clear();
  cellEnds_.clear();
  recordTooLong_ = false;
  recordLine_ = line_;
  state_ = State::kUnquoted;
  bool started = false;
  for (;;) {
    if (textAt_ == text_.size()) {
      if (Decode()) continue;
      // The export's end closes its last record.
      if (state_ == State::kQuoteInQuoted) state_ = State::kUnquoted;
      if (!started) return false;
      cellEnds_.push_back(record_.size());
      return true;
    }
    char c = text_[textAt_++];
    if (skipLineFeed_) {
      skipLineFeed_ = false;
      if (c == '\n') continue;
    }
    if (state_ == State::kQuoteInQuoted) {
      state_ = State::kQuoted;
      if (c != '"') {
        state_ = State::kUnquoted;
        --textAt_;
        continue;
      }
    } else if (state_ == State::kQuoted) {
      if (c == '"') {
        state_ = State::kQuoteInQuoted;
        continue;
      }
      if (c == '\n') ++line_;
    } else if (c == '"') {
      started = true;
      state_ = State::kQuoted;
      continue;
    } else if (c == ',') {
      started = true;
      cellEnds_.push_back(record_.size());
      continue;
    } else if (c == '\r' || c == '\n') {
      ++line_;
      skipLineFeed_ = c == '\r';
      cellEnds_.push_back(record_.size());
      return true;
    }
    started = true;
    if (record_.size() < kLongestInventoryRow) {
      record_ += c;
    } else {
      recordTooLong_ = true;
    }
  }
}

std::string InventoryReader::Cell(size_t index) const {
  size_t start = index == 0 ? 0 : cellEnds_[index - 1];
  return record_.substr(start, cellEnds_[index] - start);
}

bool InventoryReader::ReadHeader(const InventoryColumns& columns) {
  if (!ReadRecord()) return false;
  if (recordLine_ == 1 && record_.compare(0, 5, "#TYPE") == 0 && !ReadRecord()) return false;
  auto column = [this](const std::string& name) {
    for (size_t i = 0; i < cellEnds_.size(); ++i) {
      if (HeaderName(Cell(i)) == HeaderName(name)) return static_cast<int>(i);
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
  } while (cellEnds_.size() == 1 && record_.empty() && !recordTooLong_);
  row.line = recordLine_;
  row.tooLong = recordTooLong_;
  auto needed = static_cast<size_t>(std::max(biosColumn_, platformColumn_) + 1);
  row.complete = cellEnds_.size() >= needed && !recordTooLong_;
  auto take = [this](std::string& text, int index) {
    text.clear();
    if (index < 0 || static_cast<size_t>(index) >= cellEnds_.size()) return;
    size_t start = index == 0 ? 0 : cellEnds_[static_cast<size_t>(index) - 1];
    text.append(record_, start, cellEnds_[static_cast<size_t>(index)] - start);
  };
  take(row.name, 0);
  take(row.biosVersion, biosColumn_);
  take(row.platformName, platformColumn_);
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
