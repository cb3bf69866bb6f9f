#include "inventory/firmware_file.h"

#include <algorithm>

#include "inventory/smbios_table.h"

namespace {

constexpr size_t kHeaderSize = 8;

uint32_t Little(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  }
  return value;
}

// Fills `block` with a header of that version and the `length` bytes at
// `table`, in the room it already has.
void SetRawBlock(std::string& block, uint8_t major, uint8_t minor, uint8_t revision,
                 const char* table, size_t length) {
  block.assign(kHeaderSize, '\0');
  block[1] = static_cast<char>(major);
  block[2] = static_cast<char>(minor);
  block[3] = static_cast<char>(revision);
  for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<char>(length >> (8 * i));
  block.append(table, length);
}

WalkStep NoteStructure(const uint8_t*, const uint8_t*, void* found) {
  *static_cast<bool*>(found) = true;
  return WalkStep::kStop;
}

// Whether the walk finds at least one whole structure in the `length` bytes
// at `table`: it finds the first one or none.
bool HoldsStructures(const char* table, size_t length) {
  bool found = false;
  VisitSmbiosStructures(reinterpret_cast<const uint8_t*>(table), static_cast<uint32_t>(length),
                        NoteStructure, &found);
  return found;
}

void Fail(FirmwareImage& image, const char* format, const char* error) {
  image.block.clear();
  image.format = format;
  image.error = error;
}

// What an "_SM_" or "_SM3_" entry point at the start of `bytes` says.
struct EntryPoint {
  const char* error;  // null when it could be read
  uint8_t major, minor, revision;
  uint64_t offset;  // of the table in a dmidecode dump
  uint64_t length;  // exact for "_SM_", the largest for "_SM3_"
  bool lengthIsLargest;
};

const char* EntryPointFormat(const std::string& bytes) {
  if (bytes.compare(0, 5, "_SM3_") == 0) return "dmidecode dump (_SM3_ entry point)";
  if (bytes.compare(0, 4, "_SM_") == 0) return "dmidecode dump (_SM_ entry point)";
  return nullptr;
}

EntryPoint ReadEntryPoint(const std::string& bytes) {
  if (bytes.compare(0, 5, "_SM3_") == 0) {
    if (bytes.size() < 0x18) return {"truncated: the entry point is cut short", 0, 0, 0, 0, 0, false};
    return {nullptr, static_cast<uint8_t>(bytes[7]), static_cast<uint8_t>(bytes[8]),
            static_cast<uint8_t>(bytes[9]),
            Little(bytes, 0x10, 4) | uint64_t{Little(bytes, 0x14, 4)} << 32, Little(bytes, 0x0C, 4),
            true};
  }
  if (bytes.size() < 0x1F) return {"truncated: the entry point is cut short", 0, 0, 0, 0, 0, false};
  if (bytes.compare(0x10, 5, "_DMI_") != 0) {
    return {"the entry point has no \"_DMI_\" part", 0, 0, 0, 0, 0, false};
  }
  return {nullptr, static_cast<uint8_t>(bytes[6]), static_cast<uint8_t>(bytes[7]),
          static_cast<uint8_t>(bytes[0x1E]), Little(bytes, 0x18, 4), Little(bytes, 0x16, 2), false};
}

// The table of `entry` from the `available` bytes at `table`. An "_SM3_"
// entry point gives the table's largest size: the table itself ends at its
// end-of-table structure, and Linux hands it out at that length.
void TakeTable(FirmwareImage& image, const char* format, const EntryPoint& entry,
               const char* table, uint64_t available) {
  uint64_t length = entry.length;
  if (entry.lengthIsLargest) {
    length = std::min(length, available);
    if (!HoldsStructures(table, length)) {
      return Fail(image, format, "truncated: no whole structure lies at the table's offset");
    }
  }
  if (length > available) {
    return Fail(image, format, "truncated: the table the entry point gives lies past the file's end");
  }
  SetRawBlock(image.block, entry.major, entry.minor, entry.revision, table, length);
  image.format = format;
}

}  // namespace

void ParseFirmwareFile(const std::string& bytes, FirmwareImage& image) {
  image.format = nullptr;
  image.error = nullptr;
  if (bytes.empty()) return Fail(image, nullptr, "the file is empty");
  if (bytes.size() > kLargestFirmwareFile) {
    return Fail(image, nullptr, "the file is too large to be a firmware table (over 16 MiB)");
  }
  if (const char* format = EntryPointFormat(bytes)) {
    EntryPoint entry = ReadEntryPoint(bytes);
    if (entry.error != nullptr) return Fail(image, format, entry.error);
    if (entry.offset > bytes.size()) {
      return Fail(image, format, "truncated: the table the entry point gives lies past the file's end");
    }
    return TakeTable(image, format, entry, bytes.data() + entry.offset, bytes.size() - entry.offset);
  }
  // A RawSMBIOSData header: calling-method flag 0 or 1, then the version,
  // and a length that is the rest of the file.
  if (bytes.size() >= kHeaderSize && static_cast<uint8_t>(bytes[0]) <= 1) {
    uint32_t length = Little(bytes, 4, 4);
    const char* format = "RawSMBIOSData block";
    if (length == bytes.size() - kHeaderSize) {
      image.block.assign(bytes);
      image.format = format;
      return;
    }
    if (length > bytes.size() - kHeaderSize && length <= kLargestFirmwareFile &&
        !HoldsStructures(bytes.data(), bytes.size())) {
      return Fail(image, format, "truncated: the header's length reaches past the file's end");
    }
  }
  if (!HoldsStructures(bytes.data(), bytes.size())) {
    return Fail(image, nullptr,
                "not a firmware table: neither a RawSMBIOSData block, a dmidecode dump nor a "
                "structure table");
  }
  SetRawBlock(image.block, 0, 0, 0, bytes.data(), bytes.size());
  image.format = "bare structure table";
}

void BuildFirmwareBlock(const std::string& entryPoint, const std::string& table,
                        FirmwareImage& image) {
  image.format = nullptr;
  image.error = nullptr;
  const char* format = EntryPointFormat(entryPoint);
  if (format == nullptr) {
    return Fail(image, nullptr, "the entry point is neither \"_SM_\" nor \"_SM3_\"");
  }
  EntryPoint entry = ReadEntryPoint(entryPoint);
  if (entry.error != nullptr) return Fail(image, format, entry.error);
  TakeTable(image, format, entry, table.data(), table.size());
  if (image.error == nullptr) image.format = "RawSMBIOSData block";
}
