// Decoders of the BIOS information structure (type 0) and the OEM BIOS
// platform structure (type 130), with the buffers that hold their text.
#pragma once

#include <cstdint>

using ConversionBuffer = wchar_t[2048];

// Row 0 is a separator, row 1 + t the banner of structure type t (0 to 32).
extern const char SectionBannerTable[34][58];

// Process-wide, zero at start: the banner's and every field's wide text.
extern ConversionBuffer BannerBuffer;
extern ConversionBuffer FieldBuffer;

// The BIOS version of the last type 0 structure and the platform name of the
// last type 130 structure, as printed, cut to 259 characters.
extern wchar_t BiosVersionText[260];
extern wchar_t BiosPlatformText[260];

// Every function here takes a structure whose string set is closed by its
// pair of zero bytes; the structure ends at `structureEnd`, right after them.

// Returns string `stringNumber` of the structure's string set; "Null String"
// for number 0 or an empty set; the empty text for a number past the set.
const char* GetSmbiosString(const uint8_t* structure, uint8_t stringNumber);

// Zero-fills `buffer` and converts `text` from the OEM code page into it,
// cut to 2047 characters so that the text stays terminated.
void ConvertOemText(const char* text, ConversionBuffer buffer);

// Prints the BIOS information block and captures the BIOS version; true.
bool DecodeBiosInformation(const uint8_t* structure, const uint8_t* structureEnd);

// Prints the BIOS platform block and captures the platform name; true.
bool DecodeBiosPlatform(const uint8_t* structure, const uint8_t* structureEnd);
