#include "install/thermal_map_source.h"

#include <gtest/gtest.h>

#include "common/wide_text.h"
#include "driver/run_sequence.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"
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
  SelectThermalMapSource(dir, FindPlatformTableKey);
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
const std::wstring kUmdf = L"C:\\Windows\\System32\\drivers\\UMDF\\";
const std::wstring kAcTarget = kUmdf + L"ThermalMap_AC.ini";
const std::wstring kDcTarget = kUmdf + L"ThermalMap_DC.ini";
constexpr uint32_t kReadOnly = platform::kFileAttributeReadOnly;
constexpr uint32_t kHidden = platform::kFileAttributeHidden;

using Files = std::map<std::wstring, FakePlatform::File>;

// A platform folder's two maps, "<dir> AC" and "<dir> DC", and the maps of
// an earlier installation, "old AC" and "old DC".
Files Kit(const std::wstring& dir, uint32_t attributes = platform::kFileAttributeNormal) {
  std::string name = AnsiBytes(dir);
  return {{dir + L"\\ThermalMap_AC.ini", {name + " AC", attributes}},
          {dir + L"\\ThermalMap_DC.ini", {name + " DC", attributes}},
          {kAcTarget, {"old AC"}},
          {kDcTarget, {"old DC"}}};
}

Files With(Files files, const std::wstring& name, const FakePlatform::File& file) {
  files[name] = file;
  return files;
}

Files Without(Files files, const std::wstring& name) {
  files.erase(name);
  return files;
}

std::vector<std::wstring> CallsStartingWith(const std::wstring& prefix) {
  std::vector<std::wstring> found;
  for (const std::wstring& call : Fake().calls) {
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  }
  return found;
}

// Each installed map is afterwards whole: the old one as it was before, or
// the new one, writable and visible. No copy is left beside them.
void ExpectInstalled(const Files& before, const std::string& ac, const std::string& dc) {
  const Files& files = Fake().files;
  for (const auto& [target, bytes] : {std::pair{kAcTarget, ac}, std::pair{kDcTarget, dc}}) {
    auto map = files.find(target);
    ASSERT_NE(map, files.end()) << AnsiBytes(target);
    EXPECT_EQ(map->second.bytes, bytes);
    auto old = before.find(target);
    uint32_t attributes = old != before.end() && old->second.bytes == bytes
                              ? old->second.attributes
                              : map->second.attributes & ~(kReadOnly | kHidden);
    EXPECT_EQ(map->second.attributes, attributes) << AnsiBytes(target);
  }
  for (const auto& [name, file] : files) {
    EXPECT_EQ(name.rfind(kUmdf, 0) == 0 && name != kAcTarget && name != kDcTarget, false)
        << "left behind: " << AnsiBytes(name);
  }
  EXPECT_EQ(Fake().openFiles, 0);
}

struct DeployCase {
  const char* name;
  std::wstring dir;
  Files files;
  std::string ac, dc;  // the installed maps afterwards
  std::map<std::wstring, std::wstring> links = {};
  bool finalPathFails = false;
  bool redirectionCanBeSwitched = true;
  int64_t writeRoom = -1;
  bool moveFails = false;
  bool flushFails = false;
  int heapAllocationsLeft = -1;
};

void PrintTo(const DeployCase& c, std::ostream* os) { *os << c.name; }

class DeployTest : public InstallTest, public ::testing::WithParamInterface<DeployCase> {};

TEST_P(DeployTest, ReplacesEachMapWholeOrNotAtAll) {
  const DeployCase& c = GetParam();
  Fake().files = c.files;
  Fake().redirectionCanBeSwitched = c.redirectionCanBeSwitched;
  Fake().links = c.links;
  Fake().finalPathFails = c.finalPathFails;
  Fake().writeRoom = c.writeRoom;
  Fake().moveFails = c.moveFails;
  Fake().flushFails = c.flushFails;
  Fake().heapAllocationsLeft = c.heapAllocationsLeft;
  DeployThermalMaps(c.dir.c_str());
  ExpectInstalled(c.files, c.ac, c.dc);
  EXPECT_EQ(LiveHeapBlocks(), 0u);
  // Redirection is off around every file operation, and only then.
  const std::vector<std::wstring>& calls = Fake().calls;
  if (c.dir.empty()) {
    EXPECT_TRUE(calls.empty());
  } else if (!c.redirectionCanBeSwitched) {
    EXPECT_EQ(calls, std::vector<std::wstring>{kSetOff});
  } else {
    EXPECT_EQ(CallsStartingWith(L"Wow64"), (std::vector<std::wstring>{kSetOff, kSetOn}));
    EXPECT_EQ(calls.front(), kSetOff);
    EXPECT_EQ(calls.back(), kSetOn);
  }
  // The AC map comes first.
  std::vector<std::wstring> moves = CallsStartingWith(L"MoveFileExW(");
  if (moves.size() == 2) {
    EXPECT_NE(moves[0].find(L"_AC.ini.new"), std::wstring::npos);
  }
}

const std::wstring kDir = L"C:\\Kit\\ABC12";
const std::wstring kLongDir = L"C:\\Kit\\" + std::wstring(252, L'd');

INSTANTIATE_TEST_SUITE_P(
    Folders, DeployTest,
    ::testing::Values(
        DeployCase{"BothMapsReplaced", kDir, Kit(kDir), "C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"NothingInstalledBefore", kDir, Without(Without(Kit(kDir), kAcTarget), kDcTarget),
                   "C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"FullDiskKeepsOldMaps", kDir, Kit(kDir), "old AC", "old DC", {}, false, true, 3},
        DeployCase{"FailedMoveKeepsOldMaps", kDir, Kit(kDir), "old AC", "old DC", {}, false, true,
                   -1, true},
        DeployCase{"FailedFlushKeepsOldMaps", kDir, Kit(kDir), "old AC", "old DC", {}, false, true,
                   -1, false, true},
        // The elevated copy never reads a file outside its kit, however a
        // link leads there; C:\Kit2 is not inside C:\Kit.
        DeployCase{"FolderLinkedOutsideKitKeepsOldMaps", kDir,
                   With(With(Kit(kDir), L"C:\\Kit2\\ThermalMap_AC.ini", {"secret AC"}),
                        L"C:\\Kit2\\ThermalMap_DC.ini", {"secret DC"}),
                   "old AC", "old DC", {{kDir, L"C:\\Kit2"}}},
        DeployCase{"MapLinkedOutsideKitKeepsThatMap", kDir,
                   With(Kit(kDir), L"C:\\Secret\\hive", {"secret"}), "old AC", "C:\\Kit\\ABC12 DC",
                   {{kDir + L"\\ThermalMap_AC.ini", L"C:\\Secret\\hive"}}},
        DeployCase{"FolderLinkedInsideKitInstalls", kDir, Kit(L"C:\\Kit\\Other"),
                   "C:\\Kit\\Other AC", "C:\\Kit\\Other DC", {{kDir, L"C:\\Kit\\Other"}}},
        DeployCase{"NoFinalPathKeepsOldMaps", kDir, Kit(kDir), "old AC", "old DC", {}, true},
        // An interrupted run left a cut read-only copy and a whole one.
        DeployCase{"GoodRunAfterInterruptedOne", kDir,
                   With(With(Kit(kDir), kAcTarget + L".new", {"C:\\K", kReadOnly}),
                        kDcTarget + L".new", {"C:\\Kit\\ABC12 DC"}),
                   "C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"ReadOnlyAndHiddenTargetsReplaced", kDir,
                   With(With(Kit(kDir), kAcTarget, {"old AC", kReadOnly}), kDcTarget,
                        {"old DC", kHidden | 0x20}),
                   "C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"ReadOnlyFailedMoveKeepsOldMap", kDir,
                   With(Kit(kDir), kAcTarget, {"old AC", kReadOnly}), "old AC", "old DC", {}, false,
                   true, -1, true},
        DeployCase{"ReadOnlyHiddenSourceInstallsWritableMaps", kDir, Kit(kDir, kReadOnly | kHidden),
                   "C:\\Kit\\ABC12 AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"MissingDcKeepsOldDc", kDir, Without(Kit(kDir), kDir + L"\\ThermalMap_DC.ini"),
                   "C:\\Kit\\ABC12 AC", "old DC"},
        DeployCase{"MissingAcStillReplacesDc", kDir,
                   Without(Kit(kDir), kDir + L"\\ThermalMap_AC.ini"), "old AC", "C:\\Kit\\ABC12 DC"},
        DeployCase{"TrailingBackslashKept", L"C:\\Kit\\", Kit(L"C:\\Kit\\"), "C:\\Kit\\ AC",
                   "C:\\Kit\\ DC"},
        DeployCase{"LongestFolder", kLongDir, Kit(kLongDir), AnsiBytes(kLongDir) + " AC",
                   AnsiBytes(kLongDir) + " DC"},
        DeployCase{"RedirectionStaysOn", kDir, Kit(kDir), "old AC", "old DC", {}, false, false},
        DeployCase{"NoFolderNoCopy", L"", Kit(L""), "old AC", "old DC"},
        DeployCase{"NoMemoryForAcName", kDir, Kit(kDir), "old AC", "old DC", {}, false, true, -1,
                   false, false, 0},
        DeployCase{"NoMemoryForDcName", kDir, Kit(kDir), "C:\\Kit\\ABC12 AC", "old DC", {}, false,
                   true, -1, false, false, 1}),
    CaseName());

// The whole run: inventory, tag check, selection and copies.
struct RunCase {
  const char* name;
  std::wstring table;
  std::wstring moduleFileName;
  int64_t reportedSize;
  std::vector<std::wstring> debugMessages;
  std::string installedFrom;  // the folder whose maps are installed; "old" for none
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
  Files kits = Kit(kDir);
  kits.merge(Kit(L"C:\\Kit\\"));
  Fake().files = kits;
  Table(c.table);
  std::wstring program = c.moduleFileName;
  std::wstring install = L"-I";
  wchar_t* argv[] = {program.data(), install.data(), nullptr};
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInstaller(argv), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Fake().debugMessages, c.debugMessages);
  ExpectInstalled(kits, c.installedFrom + " AC", c.installedFrom + " DC");
}

const std::wstring kReadError = L"Read ini version error,";
const std::wstring kNoMemory = L"Can not allocate memory for recevice SMBIOS/DMI table";

INSTANTIATE_TEST_SUITE_P(
    Kits, RunTest,
    ::testing::Values(
        RunCase{"Installs", kTables, L"C:\\Kit\\ThermalMapInstaller.exe", -1, {}, "C:\\Kit\\ABC12"},
        RunCase{"TagMismatchStopsTheStage",
                L"[Version]\nVer=Morlane_V4.0.0.3\n[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", -1, {kReadError}, "old"},
        RunCase{"NoMatchCopiesNothing", std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=X\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", -1, {}, "old"},
        RunCase{"NoProgramDirectory", kTables, L"ThermalMapInstaller.exe", -1, {kReadError}, "old"},
        // Without memory for the firmware table the texts stay empty, and an
        // empty platform entry still selects the program's own folder.
        RunCase{"InventoryFailedRunGoesOn",
                std::wstring(kTag) + L"[DMI_Type130_Table]\nTOTAL_NUM=1\n1=\n",
                L"C:\\Kit\\ThermalMapInstaller.exe", 0xFFFFFFF0, {kNoMemory}, "C:\\Kit\\"}),
    CaseName());

}  // namespace
