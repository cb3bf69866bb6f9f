// The checker's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class OutputFormat { kText, kJson, kCsv, kHtml };

struct CheckOptions {
  std::wstring kit;                    // empty: the checker's own folder
  // Also judge by these kits, newest first: the first is the kit the kit
  // replaces, compared with it; installed maps are judged against all.
  std::vector<std::wstring> baselineKits;
  std::vector<std::wstring> firmware;  // none: this machine's table; "-" standard input
  std::string biosVersionColumn;       // an inventory's column names (UTF-8); empty: the usual ones
  std::string platformNameColumn;
  std::string acSha256Column;
  std::string dcSha256Column;
  std::wstring dump;                   // non-empty: write this machine's table there and stop
  std::wstring seal;                   // non-empty: seal the kit as this release and stop
  std::wstring expect;                 // non-empty: the machines that should report
  int64_t maxAgeDays = -1;             // 0 or more: a row written longer ago is stale
  OutputFormat format = OutputFormat::kText;
  bool csvHeader = true;  // false: CSV rows only, as for each chunk of an export after the first
  bool help = false;
  bool version = false;
};

// Reads `argv` (program name first, closed by a null entry) into `options`;
// returns 0, or sets `error` and returns 3 for an unknown option, a missing
// or wrong value, or an option given twice (--firmware may name several
// inputs, standard input once).
int ParseCheckOptions(wchar_t** argv, CheckOptions& options, std::string& error);

// The usage text, with the checker's own name, ending in a line break.
std::string CheckUsage();

// The checker's version, as its build gives it ("1.0.0").
const char* CheckerVersion();
