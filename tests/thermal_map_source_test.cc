#include "install/thermal_map_source.h"

#include <gtest/gtest.h>

#include "common/wide_text.h"
#include "driver/run_sequence.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "tests/install_fixtures.h"

namespace {

const std::wstring kTables = std::wstring(kTag) +
                             L"[DMI_Type0_Table]\nTOTAL_NUM=2\n1=ABC12\n2=5\n"
                             L"[DMI_Type130_Table]\nTOTAL_NUM=2\n1=Morlane\n2=Morlane-S\n";

struct SelectCase {
  const char* name;
  std::wstring version;
  std::wstring platformName;
  std::wstring table;
  std::wstring dir;  // "untouched" when no table matched
  std::wstring versionAfter;
};

void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.name; }

class SelectTest : public InstallTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectTest, VersionPrefixThenPlatformName) {
  const SelectCase& c = GetParam();
  CopyWideText(BiosVersionText, ArraySize(BiosVersionText), c.version.c_str());
  CopyWideText(BiosPlatformText, ArraySize(BiosPlatformText), c.platformName.c_str());
  Table(c.table);
  wchar_t dir[kPathCapacity] = L"untouched";
  SelectThermalMapSource(dir);
  EXPECT_EQ(std::wstring(dir), c.dir);
  EXPECT_EQ(std::wstring(BiosVersionText), c.versionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, SelectTest,
    ::testing::Values(
        SelectCase{"VersionPrefix", L"ABC12.0105", L"", kTables, L"C:\\Kit\\ABC12", L"ABC12"},
        SelectCase{"VersionWithoutDot", L"ABC12", L"", kTables, L"C:\\Kit\\ABC12", L"ABC12"},
        SelectCase{"LeadingDotSkipped", L".5", L"", kTables, L"C:\\Kit\\5", L".5"},
        SelectCase{"OnlyTheFirstDotCut", L"..5.1.2", L"", kTables, L"C:\\Kit\\5", L"..5"},
        SelectCase{"DotsOnlyTriesPlatform", L"...", L"Morlane", kTables, L"C:\\Kit\\Morlane",
                   L"..."},
        SelectCase{"VersionWinsOverPlatform", L"ABC12.01", L"Morlane", kTables, L"C:\\Kit\\ABC12",
                   L"ABC12"},
        SelectCase{"PlatformWhenVersionUnlisted", L"XYZ9.01", L"Morlane-S", kTables,
                   L"C:\\Kit\\Morlane-S", L"XYZ9"},
        SelectCase{"CaseDiffers", L"abc12.01", L"morlane", kTables, L"untouched", L"abc12"},
        SelectCase{"NothingListed", L"XYZ9.01", L"Other", kTables, L"untouched", L"XYZ9"},
        // Without a type 130 structure the name is empty: it matches an
        // empty entry, and the folder is the program's own.
        SelectCase{"EmptyPlatformNameMatchesEmptyEntry", L"", L"",
                   std::wstring(kTag) + L"[DMI_Type130_Table]\nTOTAL_NUM=1\n1=\n", L"C:\\Kit\\",
                   L""},
        SelectCase{"EmptyPlatformNameNoEmptyEntry", L"", L"", kTables, L"untouched", L""},
        SelectCase{"NinetyNineCharacterPrefix", std::wstring(99, L'v'), L"",
                   std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=" +
                       std::wstring(99, L'v') + L"\n",
                   L"C:\\Kit\\" + std::wstring(99, L'v'), std::wstring(99, L'v')}),
    CaseName());

const std::wstring kSetOff = L"Wow64EnableWow64FsRedirection(FALSE)";
const std::wstring kSetOn = L"Wow64EnableWow64FsRedirection(TRUE)";

std::wstring Copy(const std::wstring& dir, const std::wstring& map) {
  return L"CopyFileW(" + dir + L"\\ThermalMap_" + map +
         L".ini, C:\\Windows\\System32\\drivers\\UMDF\\ThermalMap_" + map + L".ini, FALSE)";
}

struct DeployCase {
  const char* name;
  std::wstring dir;
  bool redirectionCanBeSwitched;
  std::vector<std::wstring> missingFiles;
  int heapAllocationsLeft;
  std::vector<std::wstring> calls;
};

void PrintTo(const DeployCase& c, std::ostream* os) { *os << c.name; }

class DeployTest : public InstallTest, public ::testing::WithParamInterface<DeployCase> {};

TEST_P(DeployTest, CopiesAcThenDcWithRedirectionOff) {
  const DeployCase& c = GetParam();
  Fake().redirectionCanBeSwitched = c.redirectionCanBeSwitched;
  Fake().missingFiles = c.missingFiles;
  Fake().heapAllocationsLeft = c.heapAllocationsLeft;
  DeployThermalMaps(c.dir.c_str());
  EXPECT_EQ(Fake().calls, c.calls);
  EXPECT_EQ(LiveHeapBlocks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DeployTest,
    ::testing::Values(
        DeployCase{"BothMaps", L"C:\\Kit\\ABC12", true, {}, -1,
                   {kSetOff, Copy(L"C:\\Kit\\ABC12", L"AC"), Copy(L"C:\\Kit\\ABC12", L"DC"), kSetOn}},
        DeployCase{"MissingAcStillCopiesDc", L"C:\\Kit\\ABC12", true,
                   {L"C:\\Kit\\ABC12\\ThermalMap_AC.ini"}, -1,
                   {kSetOff, Copy(L"C:\\Kit\\ABC12", L"AC"), Copy(L"C:\\Kit\\ABC12", L"DC"), kSetOn}},
        DeployCase{"TrailingBackslashKept", L"C:\\Kit\\", true, {}, -1,
                   {kSetOff, Copy(L"C:\\Kit\\", L"AC"), Copy(L"C:\\Kit\\", L"DC"), kSetOn}},
        DeployCase{"LongestFolder", std::wstring(259, L'd'), true, {}, -1,
                   {kSetOff, Copy(std::wstring(259, L'd'), L"AC"), Copy(std::wstring(259, L'd'), L"DC"),
                    kSetOn}},
        DeployCase{"RedirectionStaysOn", L"C:\\Kit\\ABC12", false, {}, -1, {kSetOff}},
        DeployCase{"NoFolderNoCopy", L"", true, {}, -1, {}},
        DeployCase{"NoMemoryForAcName", L"C:\\Kit\\ABC12", true, {}, 0, {kSetOff, kSetOn}},
        DeployCase{"NoMemoryForDcName", L"C:\\Kit\\ABC12", true, {}, 1,
                   {kSetOff, Copy(L"C:\\Kit\\ABC12", L"AC"), kSetOn}}),
    CaseName());

// The whole run: inventory, tag check, selection and copies, in order.
struct RunCase {
  const char* name;
  std::wstring table;
  std::wstring moduleFileName;
  int64_t reportedSize;
  std::vector<std::wstring> calls;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunTest : public InstallTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTest, InstallsAfterTheInventory) {
  const RunCase& c = GetParam();
  Fake().firmware = RawSmbiosBlock(Join({Structure(BiosFormatted(), {"A", "ABC12.0105", "D"}),
                                         Structure(PlatformFormatted(), {"Morlane"}), EndOfTable()}));
  Fake().moduleFileName = c.moduleFileName;
  Fake().reportedSize = c.reportedSize;
  Fake().heapLimit = 1 << 20;
  Table(c.table);
  std::wstring program = c.moduleFileName;
  std::wstring install = L"-I";
  wchar_t* argv[] = {program.data(), install.data(), nullptr};
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInstaller(argv), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Fake().calls, c.calls);
}

const std::wstring kReadError = L"OutputDebugStringW(Read ini version error,)";
const std::wstring kNoMemory =
    L"OutputDebugStringW(Can not allocate memory for recevice SMBIOS/DMI table)";

INSTANTIATE_TEST_SUITE_P(
    Kits, RunTest,
    ::testing::Values(
        RunCase{"Installs", kTables, L"C:\\Kit\\ThermalMapInstaller.exe", -1,
                {kSetOff, Copy(L"C:\\Kit\\ABC12", L"AC"), Copy(L"C:\\Kit\\ABC12", L"DC"), kSetOn}},
        RunCase{"TagMismatchStopsTheStage",
                L"[Version]\nVer=Morlane_V4.0.0.3\n[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", -1, {kReadError}},
        RunCase{"NoMatchCopiesNothing", std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=X\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", -1, {}},
        RunCase{"NoProgramDirectory", kTables, L"ThermalMapInstaller.exe", -1, {kReadError}},
        // Without memory for the firmware table the texts stay empty, and an
        // empty platform entry still selects the program's own folder.
        RunCase{"InventoryFailedRunGoesOn",
                std::wstring(kTag) + L"[DMI_Type130_Table]\nTOTAL_NUM=1\n1=\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", 0xFFFFFFF0,
                {kNoMemory, kSetOff, Copy(L"C:\\Kit\\", L"AC"), Copy(L"C:\\Kit\\", L"DC"), kSetOn}}),
    CaseName());

}  // namespace
