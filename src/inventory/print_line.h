// Report lines on standard output.
#pragma once

#include <cstddef>

// Formats one report line and writes it to standard output. Conversions:
// "%s" wide text, "%d" int, "%x"/"%X" unsigned in lower/upper-case hex,
// "%p" a pointer as upper-case hex zero-padded to the pointer's width.
// Characters of "%s" text outside printable ASCII are written as '?', so a
// line is never cut by the console's narrow "C" locale.
void PrintLine(const wchar_t* format, ...);

// Where report lines go: `write` receives each line's bytes (line breaks as
// "\n"); null sends them to standard output, as at start.
using ReportWriter = void (*)(const char* bytes, size_t count);
void SetReportWriter(ReportWriter write);
