// Times as the checker writes and reads them: UTC, ISO 8601 to the second
// ("2026-12-10T02:11:00Z"), as seconds since 1970-01-01T00:00:00Z.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// `seconds` as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcTimeText(int64_t seconds);

// Reads "YYYY-MM-DDTHH:MM:SSZ" into `seconds`; false for any other text.
bool ParseUtcTime(std::string_view text, int64_t& seconds);
