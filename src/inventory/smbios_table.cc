#include "inventory/smbios_table.h"

#include "inventory/bios_decoders.h"
#include "inventory/print_line.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint8_t kStructureHeaderSize = 4;

uint32_t ReadLittleEndian32(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

int ReadSmbiosTable() {
  uint32_t size = platform::GetSystemFirmwareTable(platform::kRawSmbiosProvider, 0, nullptr, 0);
  PrintLine(L"We need prepare %d bytes for recevie SMBIOS/DMI Table\n", static_cast<int>(size));
  // Without room for the header there is no table to report.
  if (size < kHeaderSize) return 0;

  // Held until the process ends.
  auto* block = static_cast<uint8_t*>(platform::HeapAlloc(size));
  if (block == nullptr) {
    PrintLine(L"Can not allocate memory for recevice SMBIOS/DMI table\n");
    platform::OutputDebugStringW(L"Can not allocate memory for recevice SMBIOS/DMI table");
    return 0;
  }

  // A fetch that reports more than the block (the table grew since the size
  // query) or less than a header filled nothing that can be trusted.
  uint32_t filled = platform::GetSystemFirmwareTable(platform::kRawSmbiosProvider, 0, block, size);
  if (filled < kHeaderSize || filled > size) return 0;

  uint32_t length = ReadLittleEndian32(block + 4);
  const uint8_t* table = block + kHeaderSize;
  PrintLine(L"SMBIOS version:%d.%d\n", block[1], block[2]);
  PrintLine(L"DMI Revision:%x\n", static_cast<unsigned>(block[3]));
  PrintLine(L"Total length: %d\n", static_cast<int>(length));
  PrintLine(L"DMI at address %p\n", static_cast<const void*>(table));

  // Only the bytes the fetch filled are walked, whatever the header claims.
  uint32_t fetchedLength = filled - kHeaderSize;
  WalkSmbiosStructures(table, length < fetchedLength ? length : fetchedLength);
  return 1;
}

void WalkSmbiosStructures(const uint8_t* table, uint32_t length) {
  const uint8_t* end = table + length;
  const uint8_t* p = table;
  while (end - p >= kStructureHeaderSize) {
    uint8_t type = p[0];
    uint8_t formattedLength = p[1];
    if (formattedLength < kStructureHeaderSize || formattedLength > end - p) return;

    // The string set ends at the first pair of zero bytes after the
    // formatted area; it must close inside the table.
    const uint8_t* q = p + formattedLength;
    while (end - q >= 2 && (q[0] != 0 || q[1] != 0)) ++q;
    if (end - q < 2) return;
    const uint8_t* next = q + 2;

    if (type == 0) DecodeBiosInformation(p, next);
    if (type == 130) DecodeBiosPlatform(p, next);
    if (type == 127 && formattedLength == kStructureHeaderSize) return;
    p = next;
  }
}
