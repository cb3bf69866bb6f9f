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

WalkStep DecodeStructure(const uint8_t* structure, const uint8_t* structureEnd, void*) {
  if (structure[0] == 0) DecodeBiosInformation(structure, structureEnd);
  if (structure[0] == 130) DecodeBiosPlatform(structure, structureEnd);
  return WalkStep::kGoOn;
}

}  // namespace

int ReadSmbiosTable() {
  uint32_t filled = 0;
  const uint8_t* block = FetchRawSmbiosBlock(filled);
  if (block == nullptr) return 0;
  ReportRawSmbiosBlock(block, filled);
  return 1;
}

void ReportRawSmbiosSize(uint32_t size) {
  PrintLine(L"We need prepare %d bytes for recevie SMBIOS/DMI Table\n", static_cast<int>(size));
}

uint8_t* FetchRawSmbiosBlock(uint32_t& filled) {
  filled = 0;
  uint32_t size = platform::GetSystemFirmwareTable(platform::kRawSmbiosProvider, 0, nullptr, 0);
  ReportRawSmbiosSize(size);
  // Without room for the header there is no table to report.
  if (size < kHeaderSize) return nullptr;

  // Held until the process ends.
  auto* block = static_cast<uint8_t*>(platform::HeapAlloc(size));
  if (block == nullptr) {
    PrintLine(L"Can not allocate memory for recevice SMBIOS/DMI table\n");
    platform::OutputDebugStringW(L"Can not allocate memory for recevice SMBIOS/DMI table");
    return nullptr;
  }

  // A fetch that reports more than the block (the table grew since the size
  // query) or less than a header filled nothing that can be trusted.
  filled = platform::GetSystemFirmwareTable(platform::kRawSmbiosProvider, 0, block, size);
  if (filled < kHeaderSize || filled > size) return nullptr;
  return block;
}

const uint8_t* RawSmbiosStructureTable(const uint8_t* block, uint32_t filled, uint32_t& length) {
  // Only the bytes the fetch filled are walked, whatever the header claims.
  uint32_t fetchedLength = filled - kHeaderSize;
  length = ReadLittleEndian32(block + 4);
  if (length > fetchedLength) length = fetchedLength;
  return block + kHeaderSize;
}

void ReportRawSmbiosBlock(const uint8_t* block, uint32_t filled) {
  uint32_t length = 0;
  const uint8_t* table = RawSmbiosStructureTable(block, filled, length);
  PrintLine(L"SMBIOS version:%d.%d\n", block[1], block[2]);
  PrintLine(L"DMI Revision:%x\n", static_cast<unsigned>(block[3]));
  PrintLine(L"Total length: %d\n", static_cast<int>(ReadLittleEndian32(block + 4)));
  PrintLine(L"DMI at address %p\n", static_cast<const void*>(table));
  WalkSmbiosStructures(table, length);
}

void VisitSmbiosStructures(const uint8_t* table, uint32_t length, SmbiosStructureVisitor visit,
                           void* context) {
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

    if (visit(p, next, context) == WalkStep::kStop) return;
    if (type == 127 && formattedLength == kStructureHeaderSize) return;
    p = next;
  }
}

void WalkSmbiosStructures(const uint8_t* table, uint32_t length) {
  VisitSmbiosStructures(table, length, DecodeStructure, nullptr);
}
