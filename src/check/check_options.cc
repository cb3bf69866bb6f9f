#include "check/check_options.h"

#include <algorithm>
#include <cwchar>

#include "check/json_text.h"
#include "common/utf8.h"
#include "platform/platform.h"

std::string CheckUsage() {
  // Both programs' names are as long, so the lines below stay aligned.
  std::string name = platform::kCheckerName;
  return "usage: " + name + " [--kit DIR] [--baseline-kit DIR]...\n"
         "                       [--firmware FILE|DIR|CSV|-]... [--column COLUMN=NAME]...\n"
         "                       [--format text|json|csv|html] [--expect FILE]\n"
         "                       [--max-age DAYS]\n"
         "                       [--no-header]\n"
         "       " + name + " --dump FILE\n"
         "       " + name + " [--kit DIR] --seal LABEL\n"
         "Shows which thermal maps ThermalMapInstaller.exe gives a machine and, on this\n"
         "machine, whether they are in place. Changes nothing.\n"
         "  --kit DIR        the kit: KORVPlatformTable.ini and the platform folders\n"
         "                   (default: this program's folder)\n"
         "  --baseline-kit DIR\n"
         "                   the kit that the kit replaces: shows, machine by machine,\n"
         "                   whether the maps the installer puts in place change; may\n"
         "                   be given again, newest first, for older releases that\n"
         "                   installed maps are judged against too\n"
         "  --firmware FILE  a firmware table instead of this machine's: a RawSMBIOSData\n"
         "                   block, a dmidecode --dump-bin file or a bare structure table;\n"
         "                   a folder (each file one machine), or an inventory export (CSV\n"
         "                   with a bios_version or SMBIOSBIOSVersion column and a\n"
         "                   platform_name column; - reads one from standard input); may\n"
         "                   be given again\n"
         "  --column bios_version=NAME, --column platform_name=NAME,\n"
         "  --column ac_sha256=NAME, --column dc_sha256=NAME\n"
         "                   the inventory's column that holds the BIOS version, the\n"
         "                   platform name, or an installed map's SHA-256\n"
         "  --expect FILE    the machines that should report: one name a line, or a CSV\n"
         "                   with a name column; each without a row is missing\n"
         "  --max-age DAYS   a row written more than DAYS days before the run is stale\n"
         "  --dump FILE      write this machine's table to FILE as a RawSMBIOSData block\n"
         "  --seal LABEL     write the kit's SHA256SUMS, release LABEL: the hashes of the\n"
         "                   table, of every map an entry names and of the programs;\n"
         "                   a sealed kit is checked against it whenever it is read\n"
         "  --format FORMAT  text (the default), json, csv (one row per machine), or html\n"
         "                   (one page that shows the machines per folder)\n"
         "  --no-header      with --format csv, the rows without the header line, for\n"
         "                   the chunks of an export after the first\n"
         "  --version        print the checker's name and version\n"
         "An option's value may also follow it after \"=\": --kit=DIR.\n"
         "Exit status: 0 the machine gets a folder with both maps (and on this machine\n"
         "both are in place); 1 no folder, a map missing from it, or on this machine an\n"
         "installed map that differs or is missing; 2 the kit is wrong (the tag fails or\n"
         "the table file is absent, or an error finding); 3 a usage error or an unreadable\n"
         "input. For several machines: 0 each gets a folder with both maps (and, where\n"
         "they report them, has both in place), 1 some do not (or are undecided), 2 error\n"
         "findings, 3 none could be read.\n";
}

const char* CheckerVersion() { return THERMALMAP_VERSION; }

namespace {

bool Is(const wchar_t* argument, const wchar_t* option) {
  return std::wcscmp(argument, option) == 0;
}

}  // namespace

int ParseCheckOptions(wchar_t** argv, CheckOptions& options, std::string& error) {
  if (argv[0] == nullptr) return 0;
  bool formatGiven = false;
  for (wchar_t** at = argv + 1; *at != nullptr; ++at) {
    // "--kit=DIR" is "--kit DIR", as GNU-style tools take it.
    std::wstring argument = *at;
    size_t valueAt = argument.rfind(L"--", 0) == 0 ? argument.find(L'=') : std::wstring::npos;
    bool valueJoined = valueAt != std::wstring::npos;
    std::wstring joined = valueJoined ? argument.substr(valueAt + 1) : L"";
    if (valueJoined) argument.resize(valueAt);
    const wchar_t* option = argument.c_str();
    if (valueJoined && (Is(option, L"--help") || Is(option, L"--no-header") || Is(option, L"--version"))) {
      error = ConsoleText(option) + " takes no value";
      return 3;
    }
    if (Is(option, L"--help") || Is(option, L"-h") || Is(option, L"/?")) {
      options.help = true;
      continue;
    }
    if (Is(option, L"--version")) {
      options.version = true;
      continue;
    }
    if (Is(option, L"--no-header")) {
      options.csvHeader = false;
      continue;
    }
    std::wstring* value = Is(option, L"--kit")            ? &options.kit
                          : Is(option, L"--expect")       ? &options.expect
                          : Is(option, L"--dump")         ? &options.dump
                          : Is(option, L"--seal")         ? &options.seal
                                                          : nullptr;
    bool isFormat = Is(option, L"--format");
    bool isFirmware = Is(option, L"--firmware");
    bool isBaseline = Is(option, L"--baseline-kit");
    bool isMaxAge = Is(option, L"--max-age");
    bool isColumn = Is(option, L"--column");
    if (value == nullptr && !isFormat && !isFirmware && !isColumn && !isBaseline && !isMaxAge) {
      error = "unknown option " + ConsoleText(option);
      return 3;
    }
    if (valueJoined ? joined.empty() : at[1] == nullptr || at[1][0] == L'\0') {
      error = ConsoleText(option) + " needs a value";
      return 3;
    }
    const wchar_t* text = valueJoined ? joined.c_str() : *++at;
    if (isMaxAge) {
      std::wstring days = text;
      bool digits = !days.empty() && days.size() <= 6 &&
                    std::all_of(days.begin(), days.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
      if (!digits || options.maxAgeDays >= 0) {
        error = digits ? "--max-age given twice" : "--max-age takes a number of days, from 0 to 999999";
        return 3;
      }
      options.maxAgeDays = std::stoll(Utf8FromWide(text));
    } else if (isBaseline) {
      options.baselineKits.push_back(text);
    } else if (isFirmware) {
      if (Is(text, L"-") && std::count(options.firmware.begin(), options.firmware.end(), L"-") > 0) {
        error = "--firmware - given twice";
        return 3;
      }
      options.firmware.push_back(text);
    } else if (isColumn) {
      std::string column = Utf8FromWide(text);
      size_t equals = column.find('=');
      std::string key = column.substr(0, equals);
      std::string* name = key == "bios_version"    ? &options.biosVersionColumn
                          : key == "platform_name" ? &options.platformNameColumn
                          : key == "ac_sha256"     ? &options.acSha256Column
                          : key == "dc_sha256"     ? &options.dcSha256Column
                                                   : nullptr;
      if (equals == std::string::npos || name == nullptr || equals + 1 == column.size()) {
        error = "--column takes bios_version=NAME, platform_name=NAME, ac_sha256=NAME or dc_sha256=NAME";
        return 3;
      }
      if (!name->empty()) {
        error = "--column " + column.substr(0, equals) + " given twice";
        return 3;
      }
      *name = column.substr(equals + 1);
    } else if (isFormat) {
      if (formatGiven || (!Is(text, L"text") && !Is(text, L"json") && !Is(text, L"csv") &&
                          !Is(text, L"html"))) {
        error = formatGiven ? "--format given twice" : "--format takes text, json, csv or html";
        return 3;
      }
      formatGiven = true;
      options.format = Is(text, L"json")   ? OutputFormat::kJson
                       : Is(text, L"csv")  ? OutputFormat::kCsv
                       : Is(text, L"html") ? OutputFormat::kHtml
                                           : OutputFormat::kText;
    } else if (!value->empty()) {
      error = ConsoleText(option) + " given twice";
      return 3;
    } else {
      *value = text;
    }
  }
  if (!options.csvHeader && options.format != OutputFormat::kCsv) {
    error = "--no-header goes with --format csv";
    return 3;
  }
  bool columnGiven = !options.biosVersionColumn.empty() || !options.platformNameColumn.empty() ||
                     !options.acSha256Column.empty() || !options.dcSha256Column.empty();
  bool rollCallGiven = !options.expect.empty() || options.maxAgeDays >= 0;
  if (!options.dump.empty() && (!options.firmware.empty() || !options.kit.empty() || !options.baselineKits.empty() ||
                                formatGiven || columnGiven || rollCallGiven)) {
    error = "--dump stands alone";
    return 3;
  }
  bool sealable = std::all_of(options.seal.begin(), options.seal.end(), [](wchar_t c) { return c >= L' '; });
  if (!options.seal.empty() && (!sealable || !options.firmware.empty() || !options.baselineKits.empty() ||
                                !options.dump.empty() || formatGiven || columnGiven || !options.csvHeader ||
                                rollCallGiven)) {
    error = sealable ? "--seal goes with --kit alone" : "--seal takes a label on one line, without control characters";
    return 3;
  }
  return 0;
}
