#include <gtest/gtest.h>

#include <map>

#include "inventory/firmware_file.h"
#include "fleet/fleet_judge.h"
#include "check/json_text.h"
#include "check/map_hash.h"
#include "platform/platform.h"
#include "driver/run_check.h"
#include "install/platform_table.h"
#include "tests/install_fixtures.h"

namespace {

constexpr char kCsvHeader[] =
    "name,bios_version,platform_name,token,table,key,folder,ac_installed,dc_installed,ac_sha256,dc_sha256,release,written,error\n";

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A machine's structure table: a type 0 structure with `version`, then a
// type 130 structure with `platform` unless it is null.
Bytes MachineTable(const std::string& version, const char* platform) {
  Bytes table = Structure(BiosFormatted(), {"Contoso", version, "11/30/2026"});
  if (platform != nullptr) table = Join({table, Structure(PlatformFormatted(), {platform})});
  return Join({table, EndOfTable()});
}

const Bytes kTable = MachineTable("ABC12.0105", "Morlane");

// dmidecode's entry points, with the table at offset 0x20.
std::string SmEntryPoint(size_t tableLength) {
  std::string entry(0x20, '\0');
  entry.replace(0, 4, "_SM_");
  entry[6] = 2;
  entry[7] = 8;
  entry.replace(0x10, 5, "_DMI_");
  entry[0x16] = static_cast<char>(tableLength);
  entry[0x17] = static_cast<char>(tableLength >> 8);
  entry[0x18] = 0x20;
  entry[0x1E] = 0x28;
  return entry;
}

std::string Sm3EntryPoint(size_t tableLength) {
  std::string entry(0x20, '\0');
  entry.replace(0, 5, "_SM3_");
  entry[7] = 3;
  entry[8] = 4;
  for (int i = 0; i < 4; ++i) entry[0x0C + i] = static_cast<char>(tableLength >> (8 * i));
  entry[0x10] = 0x20;
  return entry;
}

struct FirmwareCase {
  const char* name;
  std::string bytes;
  const char* format;  // null when the file is none
  std::string error;   // a part of the error, or empty
  std::string header;  // the block's first four bytes
};

void PrintTo(const FirmwareCase& c, std::ostream* os) { *os << c.name; }

class FirmwareFileTest : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(FirmwareFileTest, RecognisesTheFormatOrSaysWhy) {
  const FirmwareCase& c = GetParam();
  FirmwareImage image;
  ParseFirmwareFile(c.bytes, image);
  EXPECT_EQ(image.format == nullptr ? "" : image.format, std::string(c.format ? c.format : ""));
  if (c.error.empty()) {
    ASSERT_EQ(image.error, nullptr) << image.error;
    EXPECT_EQ(image.block, c.header + AsText(RawSmbiosBlock(kTable)).substr(4));
  } else {
    ASSERT_NE(image.error, nullptr);
    EXPECT_NE(std::string(image.error).find(c.error), std::string::npos) << image.error;
  }
}

const std::string kRaw = AsText(RawSmbiosBlock(kTable));

INSTANTIATE_TEST_SUITE_P(
    Files, FirmwareFileTest,
    ::testing::Values(
        FirmwareCase{"RawBlock", kRaw, "RawSMBIOSData block", "", kRaw.substr(0, 4)},
        FirmwareCase{"SmDump", SmEntryPoint(kTable.size()) + AsText(kTable),
                     "dmidecode dump (_SM_ entry point)", "", std::string("\0\2\x8\x28", 4)},
        FirmwareCase{"Sm3Dump", Sm3EntryPoint(kTable.size()) + AsText(kTable),
                     "dmidecode dump (_SM3_ entry point)", "", std::string("\0\3\4\0", 4)},
        FirmwareCase{"Sm3DumpShorterThanItsMaximum",
                     Sm3EntryPoint(kTable.size() + 1500) + AsText(kTable),
                     "dmidecode dump (_SM3_ entry point)", "", std::string("\0\3\4\0", 4)},
        FirmwareCase{"Sm3DumpWithoutAWholeStructure",
                     Sm3EntryPoint(kTable.size()) + AsText(kTable).substr(0, 20),
                     "dmidecode dump (_SM3_ entry point)", "truncated", ""},
        FirmwareCase{"BareTable", AsText(kTable), "bare structure table", "",
                     std::string(4, '\0')},
        FirmwareCase{"Empty", "", nullptr, "empty", ""},
        FirmwareCase{"TruncatedBlock", kRaw.substr(0, kRaw.size() - 9), "RawSMBIOSData block",
                     "truncated", ""},
        FirmwareCase{"TruncatedSmTable", SmEntryPoint(kTable.size() + 1) + AsText(kTable),
                     "dmidecode dump (_SM_ entry point)", "truncated", ""},
        FirmwareCase{"TruncatedSm3EntryPoint", "_SM3_\x18\x01", "dmidecode dump (_SM3_ entry point)",
                     "truncated", ""},
        FirmwareCase{"SmWithoutDmi", "_SM_" + std::string(0x40, 'x'),
                     "dmidecode dump (_SM_ entry point)", "_DMI_", ""},
        FirmwareCase{"Garbled", "[Version]\r\nVer=Morlane_V4.0.0.4\r\n", nullptr,
                     "not a firmware table", ""},
        FirmwareCase{"Oversized", std::string(kLargestFirmwareFile + 1, '\0'), nullptr,
                     "too large", ""}),
    CaseName());

TEST(JsonTextTest, EscapesControlsAndMendsUtf16) {
  struct Case {
    std::wstring text;
    std::string json;
  };
  for (const Case& c : std::vector<Case>{
           {L"plain", "\"plain\""},
           {L"q\"b\\s/", "\"q\\\"b\\\\s/\""},
           {L"\n\r\t\x01\x1f", "\"\\n\\r\\t\\u0001\\u001f\""},
           {L"\x00e9\x20ac", "\"\xc3\xa9\xe2\x82\xac\""},
           {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\"\xf0\x9f\x98\x80\""},
           {std::wstring{wchar_t(0xD83D), L'x', wchar_t(0xDE00)}, "\"\xef\xbf\xbdx\xef\xbf\xbd\""},
       }) {
    std::string out;
    AppendJsonString(out, c.text.c_str());
    EXPECT_EQ(out, c.json) << ::testing::PrintToString(c.text);
  }
  std::string out;
  AppendJsonString(out, nullptr);
  EXPECT_EQ(out, "null");
}

TEST(JsonTextTest, HtmlTextCarriesNoMarkup) {
  struct Case {
    std::wstring text;
    std::string html;
  };
  for (const Case& c : std::vector<Case>{
           {L"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
           {L"a&b \"q\" 'r'", "a&amp;b &quot;q&quot; &#39;r&#39;"},
           {L"\x01\x1b\x85", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
           {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(0xDC00)}, "\xf0\x9f\x98\x80\xef\xbf\xbd"},
       }) {
    std::string out;
    AppendHtmlText(out, c.text.c_str());
    EXPECT_EQ(out, c.html) << ::testing::PrintToString(c.text);
  }
}

constexpr wchar_t kDump[] = L"C:\\Dumps\\machine.bin";

class CheckTest : public InstallTest {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    UseKitFolder(L"");
    Fake().moduleFileName = L"C:\\Tools\\ThermalMapCheck.exe";
  }
  void TearDown() override {
    UseKitFolder(L"");
    InstallTest::TearDown();
  }

  // A platform folder of the kit with both maps.
  static void Folder(const std::wstring& dir) {
    Fake().files[dir + L"\\ThermalMap_AC.ini"] = {AnsiBytes(dir) + " AC"};
    Fake().files[dir + L"\\ThermalMap_DC.ini"] = {AnsiBytes(dir) + " DC"};
  }

  // Runs the checker with `arguments`; its standard output goes to `out`.
  static int Check(std::vector<std::wstring> arguments, std::string& out) {
    arguments.insert(arguments.begin(), L"ThermalMapCheck.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    RewindStandardInput();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int status = RunCheck(argv.data());
    out = ::testing::internal::GetCapturedStdout();
    ::testing::internal::GetCapturedStderr();
    return status;
  }
};

struct DecisionCase {
  const char* name;
  Bytes table;
  std::wstring kitTable;  // empty: no table file
  int exitStatus;
  std::vector<std::string> fields;  // parts of the JSON output
};

void PrintTo(const DecisionCase& c, std::ostream* os) { *os << c.name; }

class DecisionTest : public CheckTest, public ::testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTest, DecidesAsTheInstaller) {
  const DecisionCase& c = GetParam();
  Fake().files[kDump] = {AsText(RawSmbiosBlock(c.table))};
  if (!c.kitTable.empty()) SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", AnsiBytes(c.kitTable));
  for (const wchar_t* dir : {L"C:\\Kit\\ABC12", L"C:\\Kit\\Morlane", L"C:\\Kit\\Morlane-S", L"C:\\Kit\\"}) {
    Folder(dir);
  }
  Folder(L"C:\\Kit\\" + std::wstring(99, L'v'));
  Fake().files[L"C:\\Kit\\NoDc\\ThermalMap_AC.ini"] = {"AC"};
  std::string out;
  EXPECT_EQ(Check({L"--kit", L"C:\\Kit\\", L"--firmware", kDump, L"--format", L"json"}, out),
            c.exitStatus);
  for (const std::string& field : c.fields) EXPECT_NE(out.find(field), std::string::npos) << field << "\n" << out;
  EXPECT_NE(out.find("\"exit_status\":" + std::to_string(c.exitStatus) + "}"), std::string::npos);
  EXPECT_EQ(Fake().openFiles, 0);
}

const std::wstring kKitTable = std::wstring(kTag) +
                               L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n"
                               L"[DMI_Type130_Table]\nTOTAL_NUM=2\n1=Morlane\n2=Morlane-S\n";

INSTANTIATE_TEST_SUITE_P(
    Kits, DecisionTest,
    ::testing::Values(
        DecisionCase{"PrefixWins", kTable, kKitTable, 0,
                     {"\"bios_version\":\"ABC12.0105\"", "\"token\":\"ABC12\"",
                      "\"platform_name\":\"Morlane\"",
                      "\"match\":{\"table\":\"DMI_Type0_Table\",\"key\":\"1\"}",
                      "\"folder\":\"C:\\\\Kit\\\\ABC12\"",
                      "\"source\":\"C:\\\\Kit\\\\ABC12\\\\ThermalMap_DC.ini\",\"source_exists\":true,"
                      "\"installed\":null",
                      "\"firmware\":\"C:\\\\Dumps\\\\machine.bin\",\"format\":\"RawSMBIOSData block\""}},
        DecisionCase{"PlatformName", MachineTable("XYZ9.01", "Morlane-S"), kKitTable, 0,
                     {"\"match\":{\"table\":\"DMI_Type130_Table\",\"key\":\"2\"}",
                      "\"folder\":\"C:\\\\Kit\\\\Morlane-S\""}},
        DecisionCase{"NoPlatformStructureMatchesEmptyEntry", MachineTable("XYZ9.01", nullptr),
                     std::wstring(kTag) + L"[DMI_Type130_Table]\nTOTAL_NUM=1\n1=\n", 0,
                     {"\"platform_name\":null", "\"folder\":\"C:\\\\Kit\\\\\"",
                      "\"source\":\"C:\\\\Kit\\\\\\\\ThermalMap_AC.ini\""}},
        DecisionCase{"NoMatch", MachineTable("XYZ9.01", "Other"), kKitTable, 1,
                     {"\"match\":null", "\"folder\":null", "\"no_folder_reason\":\"no entry matches\""}},
        DecisionCase{"DcMissingFromFolder", MachineTable("NoDc.01", nullptr),
                     std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=NoDc\n", 2,
                     {"\"source\":\"C:\\\\Kit\\\\NoDc\\\\ThermalMap_DC.ini\",\"source_exists\":false"}},
        DecisionCase{"TagMismatch", kTable, L"[Version]\nVer=morlane_v4.0.0.4\n", 2,
                     {"\"tag\":{\"value\":\"morlane_v4.0.0.4\",\"ok\":false}", "\"match\":null",
                      "\"no_folder_reason\":\"the tag fails\""}},
        DecisionCase{"TableMissing", kTable, L"", 2,
                     {"\"tag\":{\"value\":\"N/A\",\"ok\":false}",
                      "\"no_folder_reason\":\"the table file is absent\""}},
        DecisionCase{"NinetyNineCharacterEntry", MachineTable(std::string(99, 'v'), nullptr),
                     std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=" +
                         std::wstring(99, L'v') + L"\n",
                     0, {"\"match\":{\"table\":\"DMI_Type0_Table\",\"key\":\"1\"}"}},
        DecisionCase{"SaturatedCount", kTable,
                     std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=99999999999\n7=ABC12\n", 0,
                     {"\"total_num\":\"99999999999\",\"count\":2147483647",
                      "\"match\":{\"table\":\"DMI_Type0_Table\",\"key\":\"7\"}"}}),
    CaseName());

// On this machine the report is the installer's, and the installed maps
// are compared with the kit's byte for byte.
TEST_F(CheckTest, ThisMachineComparesTheInstalledMaps) {
  Fake().firmware = RawSmbiosBlock(kTable);
  Fake().moduleFileName = L"C:\\Kit\\ThermalMapCheck.exe";
  SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", AnsiBytes(kKitTable));
  for (const wchar_t* dir : {L"C:\\Kit\\ABC12", L"C:\\Kit\\Morlane", L"C:\\Kit\\Morlane-S"}) Folder(dir);
  ::testing::internal::CaptureStdout();
  ReadSmbiosTable();
  std::string installerReport = ::testing::internal::GetCapturedStdout();
  auto masked = [](std::string text) {
    size_t at = text.find("DMI at address ");
    return at == std::string::npos ? text : text.replace(at + 15, sizeof(void*) * 2, "ADDRESS");
  };
  const std::wstring ac = L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_AC.ini";
  const std::wstring dc = L"C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_DC.ini";
  struct Case {
    const char* installedAc;  // null: not installed
    const char* installedDc;
    int exitStatus;
    std::string installed;
  };
  for (const Case& c : std::vector<Case>{
           {nullptr, nullptr, 1, "AC.ini: C:\\Kit\\ABC12\\ThermalMap_AC.ini exists; installed: not installed"},
           {"C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC", 0, "DC.ini: C:\\Kit\\ABC12\\ThermalMap_DC.ini exists; installed: in place"},
           {"C:\\Kit\\ABC12 AC", "old DC", 1, "DC.ini: C:\\Kit\\ABC12\\ThermalMap_DC.ini exists; installed: differs"},
           // Another folder's map is named, after the kit's maps were read.
           {"C:\\Kit\\Morlane AC", "C:\\Kit\\ABC12 DC", 1,
            "AC.ini: C:\\Kit\\ABC12\\ThermalMap_AC.ini exists; installed: other map, the kit's Morlane\\ThermalMap_AC.ini"}}) {
    Fake().files.erase(ac);
    Fake().files.erase(dc);
    if (c.installedAc != nullptr) Fake().files[ac] = {c.installedAc};
    if (c.installedDc != nullptr) Fake().files[dc] = {c.installedDc};
    Fake().calls.clear();
    std::string out;
    EXPECT_EQ(Check({}, out), c.exitStatus);
    EXPECT_EQ(masked(out.substr(0, out.find("\n\n") + 1)), masked(installerReport));
    EXPECT_NE(out.find(c.installed), std::string::npos) << out;
    // Redirection is off while the kit's maps are looked at, as when the
    // installer copies them, and while the installed ones are read: for each
    // of the three folders the kit lists, then once more.
    std::vector<std::wstring> switches;
    for (int i = 0; i < 4; ++i) {
      switches.insert(switches.end(), {L"Wow64EnableWow64FsRedirection(FALSE)", L"Wow64EnableWow64FsRedirection(TRUE)"});
    }
    EXPECT_EQ(Fake().calls, switches);
  }
}

// The dump replaces an existing file only with the whole table.
TEST_F(CheckTest, DumpWritesTheWholeTableOrNothing) {
  Fake().firmware = RawSmbiosBlock(kTable);
  for (int64_t room : {-1, 10}) {
    Fake().files[kDump] = {"earlier dump"};
    Fake().writeRoom = room;
    std::string out;
    EXPECT_EQ(Check({L"--dump", kDump}, out), room < 0 ? 0 : 3);
    EXPECT_EQ(Fake().files[kDump].bytes, room < 0 ? kRaw : "earlier dump");
    EXPECT_EQ(Fake().files.count(std::wstring(kDump) + L".new"), 0u);
    EXPECT_EQ(Fake().openFiles, 0);
  }
}

// A fleet: a folder of dumps in three formats and a broken file, and an
// inventory export with quoted cells; each distinct pair is judged once.
TEST_F(CheckTest, FleetGivesARowPerMachineAndASummary) {
  SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", AnsiBytes(kKitTable));
  for (const wchar_t* dir : {L"C:\\Kit\\ABC12", L"C:\\Kit\\Morlane", L"C:\\Kit\\Morlane-S"}) Folder(dir);
  Bytes other = MachineTable("XYZ9.01", "Morlane-S");
  Fake().files[L"C:\\Dumps\\a-raw.bin"] = {kRaw};
  Fake().files[L"C:\\Dumps\\b-sm.bin"] = {SmEntryPoint(kTable.size()) + AsText(kTable)};
  Fake().files[L"C:\\Dumps\\c-bare"] = {AsText(other)};
  Fake().files[L"C:\\Dumps\\d-broken.txt"] = {"not a table"};
  Fake().files[L"C:\\fleet.csv"] = {
      "name,bios_version,platform_name\r\n\"PC, 7\",\"ABC12.0105\",Morlane\r\nPC8,\"QQ1\"\"x\",\r\n"};
  std::string csv;
  EXPECT_EQ(Check({L"--kit", L"C:\\Kit", L"--firmware", L"C:\\Dumps", L"--firmware", L"C:\\fleet.csv",
                   L"--format", L"csv"},
                  csv),
            1);
  EXPECT_EQ(csv,
            std::string(kCsvHeader) +
                "a-raw.bin,ABC12.0105,Morlane,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,,\n"
                "b-sm.bin,ABC12.0105,Morlane,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,,\n"
                "c-bare,XYZ9.01,Morlane-S,XYZ9,DMI_Type130_Table,2,C:\\Kit\\Morlane-S,,,,,,,\n"
                "d-broken.txt,,,,,,,,,,,,,\"not a firmware table: neither a RawSMBIOSData block, a dmidecode dump nor a "
                "structure table\"\n"
                "\"PC, 7\",ABC12.0105,Morlane,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,,\n"
                "PC8,\"QQ1\"\"x\",,\"QQ1\"\"x\",,,,,,,,,,\n");
  // The same fleet once more as JSON: the kit is read once, as for one
  // machine, however many machines and pairs there are.
  Fake().profileReads = 0;
  std::string json;
  EXPECT_EQ(Check({L"--kit", L"C:\\Kit", L"--firmware", L"C:\\Dumps\\a-raw.bin", L"--format", L"json"}, json), 0);
  int onePair = Fake().profileReads;
  Fake().profileReads = 0;
  EXPECT_EQ(Check({L"--kit", L"C:\\Kit", L"--firmware", L"C:\\Dumps", L"--firmware", L"C:\\fleet.csv",
                   L"--format", L"json"},
                  json),
            1);
  EXPECT_EQ(Fake().profileReads, onePair);
  EXPECT_NE(json.find("\"summary\":{\"machines\":6,\"folders\":[{\"folder\":\"C:\\\\Kit\\\\ABC12\",\"machines\":3},"
                      "{\"folder\":\"C:\\\\Kit\\\\Morlane-S\",\"machines\":1}],\"no_match\":1,\"undecided\":0,\"unreadable\":1,\"passed_over\":0,"
                      "\"roll_call\":{\"reported\":5,\"without_written\":2,\"repeated\":0,\"repeated_names\":[],"
                      "\"superseded\":0,\"changed\":0}}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"name\":\"d-broken.txt\",\"error\":"), std::string::npos);
  EXPECT_EQ(json.find("\"report\""), std::string::npos);
  EXPECT_EQ(Fake().openFiles, 0);
}

std::string Utf16Little(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}

struct ExportCase {
  const char* name;
  std::string bytes;
  std::vector<std::wstring> arguments;  // after the kit, the export (as standard input) and the format
  int exitStatus;
  std::string csv;  // the rows after the header
  std::string summary;
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

class ExportTest : public CheckTest, public ::testing::WithParamInterface<ExportCase> {};

// Real exports, read from standard input: their texts are kept whole, and
// without platform names a machine is decided only by its BIOS version
// prefix.
TEST_P(ExportTest, JudgesEveryRow) {
  const ExportCase& c = GetParam();
  SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", AnsiBytes(kKitTable));
  for (const wchar_t* dir : {L"C:\\Kit\\ABC12", L"C:\\Kit\\Morlane", L"C:\\Kit\\Morlane-S"}) Folder(dir);
  Fake().files[L"standard input"] = {c.bytes};
  for (const wchar_t* format : {L"csv", L"json"}) {
    std::vector<std::wstring> arguments = {L"--kit", L"C:\\Kit", L"--firmware", L"-", L"--format", format};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    std::string out;
    EXPECT_EQ(Check(arguments, out), c.exitStatus) << ::testing::PrintToString(format);
    if (format == std::wstring(L"csv")) {
      EXPECT_EQ(out, kCsvHeader + c.csv);
    } else {
      EXPECT_NE(out.find(c.summary), std::string::npos) << out;
    }
  }
}

const char kGreatWall[] = "\xE9\x95\xBF\xE5\x9F\x8E";  // the Great Wall, in UTF-8

INSTANTIATE_TEST_SUITE_P(
    Exports, ExportTest,
    ::testing::Values(
        ExportCase{"PowerShellWithoutPlatformNames",
                   Utf16Little(u"#TYPE Selected.System.Management.ManagementObject\r\n"
                               u"\"PSComputerName\",\"SMBIOSBIOSVersion\"\r\n"
                               u"\"PC1\",\"ABC12.0105\"\r\n\"PC2\",\"XYZ9.01\"\r\n"),
                   {}, 1,
                   "PC1,ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,,\nPC2,XYZ9.01,,XYZ9,,,,,,,,,,\n",
                   "\"no_match\":0,\"undecided\":1,\"unreadable\":0"},
        ExportCase{"TextKeptWhole",
                   std::string("name,bios_version,platform_name\n\"PC, 7\",\"QQ\"\"1\",Morlane-S\n\"PC8\",") +
                       kGreatWall + "BIOS V3.0," + kGreatWall + "\n",
                   {}, 1,
                   std::string("\"PC, 7\",\"QQ\"\"1\",Morlane-S,\"QQ\"\"1\",DMI_Type130_Table,2,C:\\Kit\\Morlane-S,,,,,,,\n") +
                       "PC8," + kGreatWall + "BIOS V3.0," + kGreatWall + "," + kGreatWall + "BIOS V3,,,,,,,,,,\n",
                   std::string("\"name\":\"PC8\",\"firmware\":\"standard input\",\"format\":\"inventory row\","
                               "\"kit\":\"C:\\\\Kit\",\"bios_version\":\"") + kGreatWall + "BIOS V3.0\""},
        ExportCase{"NamedColumns", "host,fw,model\nPC1,XYZ9.01,Morlane\nPC2\n",
                   {L"--column", L"bios_version=FW", L"--column", L"platform_name=Model"}, 1,
                   "PC1,XYZ9.01,Morlane,XYZ9,DMI_Type130_Table,1,C:\\Kit\\Morlane,,,,,,,\n"
                   "PC2,,,,,,,,,,,,,line 3 of standard input has 1 cell; its header names 3\n",
                   "{\"name\":\"PC2\",\"error\":\"line 3 of standard input has 1 cell; its header names 3\"}"},
        // Machines by their names: rows without one are machines of their
        // own; a row with a time wins over one without; a time after the
        // run is no proof of a recent row; the checker's own rows, read
        // again, keep an unreadable machine's row and a superseded one's.
        ExportCase{"EmptyNamesAreMachinesOfTheirOwn", "name,bios_version,ac_sha256\n,ABC12.0105,\n,ABC12.0105,\n", {},
                   1,
                   ",ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,not installed,not installed,,,not installed,,\n"
                   ",ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,not installed,not installed,,,not installed,,\n", "\"roll_call\":{\"reported\":2,\"without_written\":2,\"repeated\":0"},
        ExportCase{"DatedRowWinsOverUndated",
                   "name,bios_version,ac_sha256,written\nPC1,ABC12.0105,,2026-12-01T00:00:00Z\npc1,XYZ9.01,,\n"
                   "PC1,XYZ9.01,,2026-11-01T00:00:00Z\n",
                   {}, 1,
                   "PC1,ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,not installed,not installed,,,not installed,"
                   "2026-12-01T00:00:00Z,\n"
                   "pc1,,,,,,,,,,,,,\"superseded by the row of standard input line 2, written 2026-12-01T00:00:00Z\"\n"
                   "PC1,,,,,,,,,,,,,\"superseded by the row of standard input line 2, written 2026-12-01T00:00:00Z\"\n",
                   "\"reported\":1,\"without_written\":0,\"repeated\":1,\"repeated_names\":[\"pc1\"],"
                              "\"superseded\":2"},
        ExportCase{"FutureTimeIsStale", "name,bios_version,written\nPC1,ABC12.0105,2099-01-01T00:00:00Z\n",
                   {L"--max-age", L"30"}, 1,
                   "PC1,ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,2099-01-01T00:00:00Z,\n", "\"stale\":1,\"stale_names\":[\"PC1\"]"},
        ExportCase{"OwnRowsReadAgain",
                   std::string(kCsvHeader) + "PC1,,,,,,,,,,,,2026-11-01T00:00:00Z,its SMBIOS table cannot be read\n"
                   "PC1,,,,,,,,,,,,,superseded by the row of old.csv line 3\n"
                   "PC1,ABC12.0105,,,,,,,,,,,2026-12-01T00:00:00Z,\n",
                   {}, 0,
                   "PC1,,,,,,,,,,,,,\"superseded by the row of standard input line 4, written 2026-12-01T00:00:00Z\"\n"
                   "PC1,,,,,,,,,,,,,superseded by the row of old.csv line 3\n"
                   "PC1,ABC12.0105,,ABC12,DMI_Type0_Table,1,C:\\Kit\\ABC12,,,,,,2026-12-01T00:00:00Z,\n",
                   "\"unreadable\":0,\"passed_over\":0,\"roll_call\":{\"reported\":1"}),
    CaseName());

// The roll call of a share: a stale row and one whose time cannot be read,
// a row without its time, and the machines expected (letter case ignored),
// from a list or a collection's CSV, that never reported or were not asked.
TEST_F(CheckTest, RollCallNamesMissingStaleAndUnexpected) {
  SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", AnsiBytes(kKitTable));
  for (const wchar_t* dir : {L"C:\\Kit\\ABC12", L"C:\\Kit\\Morlane", L"C:\\Kit\\Morlane-S"}) Folder(dir);
  for (std::string expected : {"pc1\r\nPC2\r\npc3\r\nPC4\r\n",
                               "#TYPE System.Management.Automation.PSCustomObject\r\n\"Name\",\"Site\"\r\n"
                               "\"pc1\",\"a\"\r\n\"PC2\",\"a\"\r\n\"pc3\",\"b\"\r\n\"PC4\",\"b\"\r\n"}) {
    Fake().files[L"C:\\expect.csv"] = {expected};
    for (const wchar_t* format : {L"json", L"csv"}) {
      // A name in several rows is one machine, by its latest row, else by
      // the later row read.
      Fake().files[L"standard input"] = {
          "name,bios_version,written\nPC1,ABC12.0105,2026-12-09T00:00:00Z\npc2,ABC12.0105,2026-10-01T00:00:00Z\n"
          "PC3,ABC12.0105,\nGuest,ABC12.0105,yesterday\nPC2,ABC12.0105,2026-12-01T00:00:00Z\n"
          "pc1,ABC12.0105,2026-11-01T00:00:00Z\npc3,ABC12.0105,\n"};
      std::string out;
      EXPECT_EQ(Check({L"--kit", L"C:\\Kit", L"--firmware", L"-", L"--max-age", L"30", L"--expect", L"C:\\expect.csv",
                       L"--format", format},
                      out),
                1);
      std::vector<std::string> wanted =
          std::wstring(format) == L"csv"
              ? std::vector<std::string>{"\npc2,,,,,,,,,,,,,\"superseded by the row of standard input line 6, written "
                                         "2026-12-01T00:00:00Z\"\n",
                                         "\nPC3,,,,,,,,,,,,,superseded by the row of standard input line 8\n",
                                         "\npc1,,,,,,,,,,,,,\"superseded by the row of standard input line 2, written "
                                         "2026-12-09T00:00:00Z\"\n",
                                         "\nPC4,,,,,,,,,,,missing,,\n"}
              : std::vector<std::string>{
                    "\"roll_call\":{\"reported\":4,\"without_written\":1,\"repeated\":3,\"repeated_names\":"
                    "[\"PC2\",\"pc1\",\"pc3\"],\"superseded\":3,\"changed\":0,\"stale\":1,\"stale_names\":"
                    "[\"Guest\"],\"expected\":4,\"missing\":1,\"missing_names\":[\"PC4\"],"
                    "\"unexpected\":1,\"unexpected_names\":[\"Guest\"]}"};
      for (const std::string& row : wanted) EXPECT_NE(out.find(row), std::string::npos) << row << out;
    }
  }
}

struct ChangeCase {
  const char* name;
  std::wstring oldTable;  // the baseline kit, in C:\Old
  std::map<std::wstring, std::string> oldMaps;  // by path in the kit
  std::wstring newTable;  // the kit, in C:\New
  std::map<std::wstring, std::string> newMaps;
  std::wstring linkedOutside;  // a folder of the new kit that is a link to one outside it
  std::string change;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class ChangeTest : public CheckTest, public ::testing::WithParamInterface<ChangeCase> {};

// What the installer would put in place under each kit is compared, not the
// folders' names: the machine is ABC12.0105 with the platform name Morlane.
TEST_P(ChangeTest, ComparesWhatTheInstallerPutsInPlace) {
  const ChangeCase& c = GetParam();
  Fake().files[kDump] = {AsText(RawSmbiosBlock(kTable))};
  SetProfileFile(L"C:\\Old\\KORVPlatformTable.ini", AnsiBytes(c.oldTable));
  SetProfileFile(L"C:\\New\\KORVPlatformTable.ini", AnsiBytes(c.newTable));
  for (const auto& [path, bytes] : c.oldMaps) Fake().files[L"C:\\Old\\" + path] = {bytes};
  for (const auto& [path, bytes] : c.newMaps) Fake().files[L"C:\\New\\" + path] = {bytes};
  if (!c.linkedOutside.empty()) {
    Fake().links[L"C:\\New\\" + c.linkedOutside] = L"C:\\Outside";
    Fake().files[L"C:\\Outside\\ThermalMap_AC.ini"] = {"AC"};
    Fake().files[L"C:\\Outside\\ThermalMap_DC.ini"] = {"DC"};
  }
  std::string csv;
  Check({L"--kit", L"C:\\New", L"--baseline-kit", L"C:\\Old", L"--firmware", kDump, L"--format", L"csv"}, csv);
  // name,bios_version,platform_name,token,table,key,folder,baseline_folder,change,...
  std::string row = csv.substr(csv.find('\n') + 1);
  for (int cell = 0; cell < 8; ++cell) row.erase(0, row.find(',') + 1);
  EXPECT_EQ(row.substr(0, row.find(',')), c.change) << csv;
}

const std::wstring kAbc12 = std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n";
const std::map<std::wstring, std::string> kAbc12Maps = {{L"ABC12\\ThermalMap_AC.ini", "AC"},
                                                        {L"ABC12\\ThermalMap_DC.ini", "DC"}};

INSTANTIATE_TEST_SUITE_P(
    Kits, ChangeTest,
    ::testing::Values(
        ChangeCase{"SameBytesUnderAnotherFolder", kAbc12, kAbc12Maps,
                   std::wstring(kTag) + L"[DMI_Type130_Table]\nTOTAL_NUM=1\n1=Morlane\n",
                   {{L"Morlane\\ThermalMap_AC.ini", "AC"}, {L"Morlane\\ThermalMap_DC.ini", "DC"}}, L"",
                   "unchanged"},
        ChangeCase{"OnlyOneMapChanged", kAbc12, kAbc12Maps, kAbc12,
                   {{L"ABC12\\ThermalMap_AC.ini", "AC tuned"}, {L"ABC12\\ThermalMap_DC.ini", "DC"}}, L"",
                   "changed"},
        ChangeCase{"MapMissingFromTheNewFolder", kAbc12, kAbc12Maps, kAbc12, {{L"ABC12\\ThermalMap_AC.ini", "AC"}},
                   L"", "changed"},
        ChangeCase{"BaselineTagFails", L"[Version]\nVer=Morlane_V4.0.0.3\n", {}, kAbc12, kAbc12Maps, L"", "added"},
        ChangeCase{"EntryDropped", kAbc12, kAbc12Maps, std::wstring(kTag), {}, L"", "removed"},
        // The installer never installs a map from outside its kit: the same
        // bytes are no map at all.
        ChangeCase{"MapsOutsideTheKit", kAbc12, kAbc12Maps, kAbc12, {}, L"ABC12", "removed"}),
    CaseName());

TEST_F(CheckTest, CommandLineErrorsExitThree) {
  Fake().files[L"C:\\Dumps\\text.txt"] = {"not a table"};
  for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
           {L"--frimware", kDump},
           {L"--firmware"},
           {L"--format", L"xml"},
           {L"--kit", L"C:\\Kit", L"--kit", L"C:\\Kit"},
           {L"--dump", kDump, L"--format", L"json"},
           {L"--firmware", L"-", L"--firmware", L"-"},
           {L"--firmware", L"-", L"--column", L"name=PC"},
           {L"--firmware", L"C:\\Dumps\\absent.bin"},
           {L"--firmware", L"C:\\Dumps\\text.txt"}}) {
    std::string out;
    EXPECT_EQ(Check(arguments, out), 3) << ::testing::PrintToString(arguments);
    EXPECT_EQ(out, "");
  }
  std::string out;
  EXPECT_EQ(Check({L"/?"}, out), 0);
  EXPECT_EQ(out.rfind("usage: ThermalMapCheck", 0), 0u);
}

// The SHA-256 of `bytes`, in hexadecimal, as a machine reports it.
std::string HashText(const std::string& bytes) {
  Fake().files[L"C:\\hashed"] = {bytes};
  void* file = platform::CreateFileW(L"C:\\hashed", platform::FileAccess::kReadExisting);
  MapHash hash{};
  EXPECT_TRUE(HashOpenFile(file, hash));
  platform::CloseHandle(file);
  Fake().files.erase(L"C:\\hashed");
  return HexOf(hash);
}

// `text` with each "<BYTES>" replaced by the hash of BYTES.
std::string WithHashes(std::string text) {
  for (size_t at; (at = text.find('<')) != std::string::npos;) {
    size_t end = text.find('>', at);
    text.replace(at, end - at + 1, HashText(text.substr(at + 1, end - at - 1)));
  }
  return text;
}

struct InstalledCase {
  const char* name;
  std::string header;  // of the export's hash columns
  std::string cells;   // a row's hash cells; "AC2" and the like are the hashes of those bytes
  int baselines;        // 0, Old, or Old then Older
  std::string found;   // its cells from ac_installed on, or its error
};

void PrintTo(const InstalledCase& c, std::ostream* os) { *os << c.name; }

class InstalledTest : public CheckTest, public ::testing::WithParamInterface<InstalledCase> {};

// ABC12.0105 gets ABC12 of the kit (maps AC2 and DC), of the baseline kit
// (AC1 and DC: the DC map is the same in both) and of the older release
// (AC1 and DC0); QX70 is another folder of the kit. An installed map is the
// first of: the kit's map, a baseline's, any other map of any kit, none of
// them, or none at all; the machine has the first release whose folder
// holds both its maps.
TEST_P(InstalledTest, JudgesEachMapByItsHash) {
  const InstalledCase& c = GetParam();
  std::wstring table = std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=2\n1=ABC12\n2=QX70\n";
  SetProfileFile(L"C:\\New\\KORVPlatformTable.ini", AnsiBytes(table));
  SetProfileFile(L"C:\\Old\\KORVPlatformTable.ini", AnsiBytes(table));
  SetProfileFile(L"C:\\Older\\KORVPlatformTable.ini", AnsiBytes(table));
  for (const auto& [path, bytes] : std::map<std::wstring, std::string>{
           {L"C:\\New\\ABC12\\ThermalMap_AC.ini", "AC2"}, {L"C:\\New\\ABC12\\ThermalMap_DC.ini", "DC"},
           {L"C:\\New\\QX70\\ThermalMap_AC.ini", "QAC"}, {L"C:\\New\\QX70\\ThermalMap_DC.ini", "QDC"},
           {L"C:\\Old\\ABC12\\ThermalMap_AC.ini", "AC1"}, {L"C:\\Old\\ABC12\\ThermalMap_DC.ini", "DC"},
           {L"C:\\Older\\ABC12\\ThermalMap_AC.ini", "AC1"}, {L"C:\\Older\\ABC12\\ThermalMap_DC.ini", "DC0"}}) {
    Fake().files[path] = {bytes};
  }
  Fake().files[L"standard input"] = {"name,bios_version,platform_name," + c.header + "\nPC1,ABC12.0105,," +
                                      WithHashes(c.cells) + "\n"};
  std::vector<std::wstring> arguments = {L"--kit", L"C:\\New", L"--firmware", L"-", L"--format", L"csv"};
  if (c.baselines > 0) arguments.insert(arguments.end(), {L"--baseline-kit", L"C:\\Old"});
  if (c.baselines > 1) arguments.insert(arguments.end(), {L"--baseline-kit", L"C:\\Older"});
  std::string csv;
  int status = Check(arguments, csv);
  std::string found = WithHashes(c.found);
  std::string row = csv.substr(csv.find('\n') + 1);
  for (int cell = 0; cell < (c.baselines > 0 ? 9 : 7); ++cell) row.erase(0, row.find(',') + 1);
  EXPECT_EQ(row, found + "\n") << csv;
  EXPECT_EQ(status, found.rfind("in place,in place,", 0) == 0 ? 0 : found.rfind(",,,,,,", 0) == 0 ? 3 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    States, InstalledTest,
    ::testing::Values(
        // The kit's DC map has the bytes of the baseline's: it is in place,
        // and the machine has the kit's release, the first of the two.
        InstalledCase{"InPlace", "ac_sha256,dc_sha256", "<AC2>,<DC>", 1, "in place,in place,<AC2>,<DC>,New,,"},
        // A DC map unchanged between releases: the machine has the old one.
        InstalledCase{"OldRelease", "ac_sha256,dc_sha256", "<AC1>,<DC>", 2, "baseline,in place,<AC1>,<DC>,Old,,"},
        InstalledCase{"OlderRelease", "ac_sha256,dc_sha256", "<AC1>,<DC0>", 2,
                      "baseline,baseline,<AC1>,<DC0>,Older,,"},
        InstalledCase{"Mixed", "ac_sha256,dc_sha256", "<AC2>,<DC0>", 2, "in place,baseline,<AC2>,<DC0>,mixed,,"},
        InstalledCase{"AnotherFoldersMaps", "ac_sha256,dc_sha256", "<QAC>,<QDC>", 1,
                      "other map,other map,<QAC>,<QDC>,other,,"},
        InstalledCase{"Swapped", "ac_sha256,dc_sha256", "<DC>,<AC2>", 1, "other map,other map,<DC>,<AC2>,other,,"},
        InstalledCase{"NobodysBytesAndNone", "ac_sha256,dc_sha256", "<rogue>,", 1,
                      "differs,not installed,<rogue>,,other,,"},
        InstalledCase{"NeitherMap", "ac_sha256,dc_sha256", ",", 1, "not installed,not installed,,,not installed,,"},
        // Without the baseline kit the old release is nobody's.
        InstalledCase{"NoBaseline", "ac_sha256,dc_sha256", "<AC1>,<DC>", 0, "differs,in place,<AC1>,<DC>,other,,"},
        InstalledCase{"UpperCaseAndOneColumn", "AC_SHA256",
                      "A3C8E8E7DF7C5DF1B6DD6A0CB2E2D2F5D6F0F6A9E3B7A2F1C6D5E4F3A2B1C0D9", 1,
                      "differs,not installed,a3c8e8e7df7c5df1b6dd6a0cb2e2d2f5d6f0f6a9e3b7a2f1c6d5e4f3a2b1c0d9,,other,,"},
        InstalledCase{"BadHashCell", "ac_sha256,dc_sha256", "<AC2>,d41d8cd98f00b204e9800998ecf8427e", 1,
                      ",,,,,,line 2 of standard input: dc_sha256 is not 64 hexadecimal digits"}),
    CaseName());

// A hash cell is 64 hexadecimal digits of either case and nothing else,
// whichever byte of the eight read at a time is wrong.
TEST(MapHashTest, ReadsOnlyHexadecimalDigits) {
  const std::string valid = "0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef9fA0";
  MapHash hash{};
  ASSERT_TRUE(ParseHex(valid, hash));
  EXPECT_EQ(HexOf(hash), "0123456789abcdefabcdef0123456789abcdefabcdef0123456789abcdef9fa0");
  EXPECT_FALSE(ParseHex(valid.substr(1), hash));
  for (char wrong : {'g', 'G', ':', '/', '@', '`', '\x10', '\xC6', ' '}) {
    for (size_t at : {size_t{0}, size_t{13}, size_t{63}}) {
      std::string cell = valid;
      cell[at] = wrong;
      EXPECT_FALSE(ParseHex(cell, hash)) << static_cast<int>(wrong) << " at " << at;
    }
  }
}

}  // namespace
