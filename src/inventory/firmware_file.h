// Firmware table files, as engineers send them: recognised from their bytes
// and turned into the raw SMBIOS block that the firmware would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Larger files are no firmware table.
constexpr size_t kLargestFirmwareFile = 16 << 20;

struct FirmwareImage {
  std::string block;   // the RawSMBIOSData block: 8-byte header, then the table
  const char* format;  // what the file was, for the output
  const char* error;   // why it is none of the formats, or null
};

// Recognises `bytes` as a RawSMBIOSData block (its header's length is the
// rest of the file), a dmidecode --dump-bin file (an "_SM_" or "_SM3_" entry
// point at offset 0, the table at the offset it gives; an "_SM3_" table may
// end before its maximum size, at the file's end), or a bare structure
// table (as /sys/firmware/dmi/tables/DMI). A bare table has no version: its
// block's header reads 0.0. Sets `error` for a file that is none of them.
// Fills `image` in the room its block already has, so that one image can
// serve a whole fleet.
void ParseFirmwareFile(const std::string& bytes, FirmwareImage& image);

// Fills `image` with the block that Windows would give for a structure table
// read apart from its entry point, as Linux gives them in
// /sys/firmware/dmi/tables: the version and revision by the rules of the
// dumps above, and an error when the table is cut short of the entry
// point's length.
void BuildFirmwareBlock(const std::string& entryPoint, const std::string& table,
                        FirmwareImage& image);
