#include "inventory/bios_decoders.h"

#include <algorithm>
#include <cstring>

#include "common/wide_text.h"
#include "inventory/print_line.h"
#include "platform/platform.h"

const char SectionBannerTable[34][58] = {
    "-=======================================================-",
    "==========          BIOS information           ==========",
    "==========         System information          ==========",
    "==========       Base Board information        ==========",
    "==========    System Enclosure information     ==========",
    "==========        Processor information        ==========",
    "==========    Memory Controller information    ==========",
    "==========      Memory Module information      ==========",
    "==========           Cache information         ==========",
    "==========      Port Connector Information     ==========",
    "==========            System Slots             ==========",
    "==========     On Board Devices Information    ==========",
    "==========             OEM String              ==========",
    "==========     System Configuration Options    ==========",
    "==========      BIOS Language Information      ==========",
    "==========         Group Associations          ==========",
    "==========          System Event Log           ==========",
    "==========        Physical Memory Array        ==========",
    "==========            Memory Device            ==========",
    "==========      Memory Error Information       ==========",
    "==========     Memory Array Mapped Address     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========           Portable Battery          ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========                                     ==========",
    "==========       System Boot information       ==========",
};

ConversionBuffer BannerBuffer;
ConversionBuffer FieldBuffer;
wchar_t BiosVersionText[260];
wchar_t BiosPlatformText[260];

namespace {

// A fixed field beyond the formatted area reads whatever follows it in the
// string set; beyond the structure itself it reads as 0.
unsigned FieldByte(const uint8_t* structure, unsigned offset, const uint8_t* structureEnd) {
  return offset < static_cast<unsigned>(structureEnd - structure) ? structure[offset] : 0;
}

unsigned FieldWord(const uint8_t* structure, unsigned offset, const uint8_t* structureEnd) {
  return FieldByte(structure, offset, structureEnd) |
         FieldByte(structure, offset + 1, structureEnd) << 8;
}

// Converts the string whose number stands at `offset` into FieldBuffer.
void ConvertField(const uint8_t* structure, unsigned offset, const uint8_t* structureEnd) {
  uint8_t stringNumber = static_cast<uint8_t>(FieldByte(structure, offset, structureEnd));
  ConvertOemText(GetSmbiosString(structure, stringNumber), FieldBuffer);
}

}  // namespace

const char* GetSmbiosString(const uint8_t* structure, uint8_t stringNumber) {
  const char* text = reinterpret_cast<const char*>(structure + structure[1]);
  if (stringNumber == 0 || text[0] == '\0') return "Null String";
  // Stopping at the set's closing zero byte keeps a number past the set
  // inside the structure.
  for (unsigned skipped = 1; skipped < stringNumber && text[0] != '\0'; ++skipped) {
    text += std::strlen(text) + 1;
  }
  return text;
}

void ConvertOemText(const char* text, ConversionBuffer buffer) {
  // One wide character per byte at most, so the last one stays zero.
  const size_t capacity = ArraySize(FieldBuffer) - 1;
  std::memset(buffer, 0, sizeof(ConversionBuffer));
  size_t length = std::min(std::strlen(text), capacity);
  platform::MultiByteToWideChar(text, static_cast<int>(length), buffer, static_cast<int>(capacity));
}

bool DecodeBiosInformation(const uint8_t* s, const uint8_t* end) {
  ConvertOemText(SectionBannerTable[1], BannerBuffer);
  PrintLine(L"%s\n", BannerBuffer);
  ConvertField(s, 4, end);
  PrintLine(L"Vendor: %s\n", FieldBuffer);
  ConvertField(s, 5, end);
  PrintLine(L"Version: %s\n", FieldBuffer);
  ConvertField(s, 5, end);
  CopyWideText(BiosVersionText, ArraySize(BiosVersionText), FieldBuffer);
  PrintLine(L"BIOS Starting Segment: 0x%X\n", FieldWord(s, 6, end));
  ConvertField(s, 8, end);
  PrintLine(L"Release Date: %s\n", FieldBuffer);
  PrintLine(L"Image Size: %dK\n", static_cast<int>((FieldByte(s, 9, end) + 1) * 64));
  if (s[1] > 0x14) {
    PrintLine(L"System BIOS version: %d.%d\n", FieldByte(s, 0x14, end), FieldByte(s, 0x15, end));
    PrintLine(L"EC Firmware version: %d.%d\n", FieldByte(s, 0x16, end), FieldByte(s, 0x17, end));
  }
  return true;
}

bool DecodeBiosPlatform(const uint8_t* s, const uint8_t* end) {
  PrintLine(L"============= BIOS Platform =============\n");
  PrintLine(L"Length: 0x%X\n", static_cast<unsigned>(s[1]));
  ConvertField(s, 4, end);
  PrintLine(L"BIOSPlatform: %s\n", FieldBuffer);
  ConvertField(s, 4, end);
  CopyWideText(BiosPlatformText, ArraySize(BiosPlatformText), FieldBuffer);
  return true;
}
