// Fetching the raw SMBIOS table from the firmware, and the report of a raw
// SMBIOS block (the platform's RawSMBIOSData layout): its header and the walk
// of its structures.
#pragma once

#include <cstdint>

#include "common/walk_step.h"

// Fetches the table, prints its header and walks it. Returns 1 once a table
// was fetched and walked, 0 when there is none or no memory for it.
int ReadSmbiosTable();

// Prints the size line, then takes a block of that size from the heap and
// fills it with the firmware's table (held until the process ends); sets
// `filled` to the bytes the fetch filled. Null when there is no table, no
// memory for it (reported on the console and the debug channel) or the
// fetch filled less than a header or more than the block.
uint8_t* FetchRawSmbiosBlock(uint32_t& filled);

// Prints the size line of a block of `size` bytes.
void ReportRawSmbiosSize(uint32_t size);

// Prints the header of the raw block of `filled` bytes (at least the 8 of
// the header) and walks its structure table.
void ReportRawSmbiosBlock(const uint8_t* block, uint32_t filled);

// The structure table of a raw block of `filled` bytes (at least 8); its
// length is the header's, cut to the bytes filled.
const uint8_t* RawSmbiosStructureTable(const uint8_t* block, uint32_t filled, uint32_t& length);

// Called for each structure with its first byte and the byte after its
// string set; kStop ends the walk there.
using SmbiosStructureVisitor = WalkStep (*)(const uint8_t* structure, const uint8_t* structureEnd,
                                            void* context);

// Calls `visit` for every structure of the `length` bytes at `table`, in
// table order, up to the end-of-table structure or until `visit` stops it. A structure is visited only when its closing pair of zero bytes
// lies inside the table; the walk stops at the first one that does not.
void VisitSmbiosStructures(const uint8_t* table, uint32_t length, SmbiosStructureVisitor visit,
                           void* context);

// Hands every type 0 and type 130 structure of the table to its decoder,
// as VisitSmbiosStructures walks it.
void WalkSmbiosStructures(const uint8_t* table, uint32_t length);
