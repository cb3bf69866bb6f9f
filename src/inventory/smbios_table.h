// Fetching the raw SMBIOS table from the firmware and walking its structures.
#pragma once

#include <cstdint>

// Fetches the table, prints its header and walks it. Returns 1 once a table
// was fetched and walked, 0 when there is none or no memory for it.
int ReadSmbiosTable();

// Hands every type 0 and type 130 structure of the `length` bytes at `table`
// to its decoder, in table order, up to the end-of-table structure. A
// structure is decoded only when its closing pair of zero bytes lies inside
// the table; the walk stops at the first one that does not.
void WalkSmbiosStructures(const uint8_t* table, uint32_t length);
