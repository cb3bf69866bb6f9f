#include <gtest/gtest.h>

#include <regex>

#include "tests/smbios_fixtures.h"

namespace {

const Bytes kBios = Structure(BiosFormatted(), {"Acme", "ABC12.0105", "01/02/2025"});
const Bytes kPlatform = Structure(PlatformFormatted(), {"Morlane"});
const std::string kBiosBlock = BiosBlock("Acme", "ABC12.0105", "01/02/2025");

struct WalkCase {
  const char* name;
  Bytes table;
  std::string report;
  std::wstring version;
  std::wstring platformName;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class WalkTest : public InventoryTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkTest, DecodesTheStructuresInsideTheTable) {
  const WalkCase& c = GetParam();
  EXPECT_EQ(Walk(c.table), c.report);
  EXPECT_EQ(std::wstring(BiosVersionText), c.version);
  EXPECT_EQ(std::wstring(BiosPlatformText), c.platformName);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, WalkTest,
    ::testing::Values(
        WalkCase{"BiosPlatformAndEnd", Join({kBios, kPlatform, EndOfTable()}),
                 kBiosBlock + PlatformBlock("Morlane"), L"ABC12.0105", L"Morlane"},
        WalkCase{"TwoBiosStructuresLastOneCaptured",
                 Join({kBios, Structure(BiosFormatted(), {"B", "XYZ9.1", "D"}), EndOfTable()}),
                 kBiosBlock + BiosBlock("B", "XYZ9.1", "D"), L"XYZ9.1", L""},
        WalkCase{"TwoPlatformStructuresLastOneCaptured",
                 Join({kPlatform, Structure(PlatformFormatted(), {"Second"})}),
                 PlatformBlock("Morlane") + PlatformBlock("Second"), L"", L"Second"},
        WalkCase{"BytesAfterEndOfTableNeverDecoded", Join({EndOfTable(), kBios, kPlatform}), "",
                 L"", L""},
        WalkCase{"Type127OfOtherLengthDoesNotEndTheWalk",
                 Join({Structure({127, 0, 0, 0, 0}, {}), kBios}), kBiosBlock, L"ABC12.0105", L""},
        WalkCase{"NoEndOfTable", Join({Structure({1, 0, 0, 0, 1}, {"Other"}), kBios}), kBiosBlock,
                 L"ABC12.0105", L""},
        WalkCase{"EmptyStringSetThenNextStructure",
                 Join({Structure(BiosFormatted(), {}), kPlatform}),
                 BiosBlock("Null String", "Null String", "Null String") + PlatformBlock("Morlane"),
                 L"Null String", L"Morlane"},
        WalkCase{"EmptyTable", {}, "", L"", L""},
        WalkCase{"FormattedLengthUnderFourStopsTheWalk",
                 Join({kBios, Structure(PlatformFormatted(), {"X"}, 3), kPlatform}), kBiosBlock,
                 L"ABC12.0105", L""},
        WalkCase{"FormattedLengthPastTheTableEnd", Structure(BiosFormatted(), {"A"}, 200), "", L"",
                 L""},
        WalkCase{"StringSetWithoutClosingPair",
                 Join({kPlatform, Bytes{0, 24, 0, 0, 1, 2}, Bytes(18, 0x41), Bytes{'A', 0, 'B'}}),
                 PlatformBlock("Morlane"), L"", L"Morlane"},
        WalkCase{"TableCutInsideAStructureHeader", Join({kPlatform, Bytes{0, 24, 0}}),
                 PlatformBlock("Morlane"), L"", L"Morlane"}),
    CaseName());

// The address digits change from run to run; everything else is exact.
std::string MaskAddress(const std::string& report) {
  return std::regex_replace(report, std::regex("DMI at address [0-9A-F]+\n"),
                            "DMI at address ADDRESS\n");
}

struct AcquisitionCase {
  const char* name;
  Bytes firmware;
  int64_t reportedSize;
  int64_t fetchFills;
  std::string report;
  int result;
};

void PrintTo(const AcquisitionCase& c, std::ostream* os) { *os << c.name; }

class AcquisitionTest : public InventoryTest,
                        public ::testing::WithParamInterface<AcquisitionCase> {};

TEST_P(AcquisitionTest, PrintsOnlyWhatTheFetchFilled) {
  const AcquisitionCase& c = GetParam();
  Fake().firmware = c.firmware;
  Fake().reportedSize = c.reportedSize;
  Fake().fetchFills = c.fetchFills;
  ::testing::internal::CaptureStdout();
  int result = ReadSmbiosTable();
  EXPECT_EQ(MaskAddress(::testing::internal::GetCapturedStdout()), c.report);
  EXPECT_EQ(result, c.result);
  EXPECT_TRUE(Fake().debugMessages.empty());
}

Bytes WithLength(Bytes block, uint32_t length) {
  for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  return block;
}

const Bytes kBlock = RawSmbiosBlock(Join({kBios, kPlatform, EndOfTable()}));
const std::string kHeader =
    "SMBIOS version:3.2\nDMI Revision:0\nTotal length: 72\nDMI at address ADDRESS\n";

INSTANTIATE_TEST_SUITE_P(
    Firmware, AcquisitionTest,
    ::testing::Values(
        AcquisitionCase{"WholeTable", kBlock, -1, -1,
                        "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n" + kHeader +
                            kBiosBlock + PlatformBlock("Morlane"),
                        1},
        AcquisitionCase{"NoTable", {}, -1, -1,
                        "We need prepare 0 bytes for recevie SMBIOS/DMI Table\n", 0},
        AcquisitionCase{"SizeUnderHeader", {0, 3, 2, 0, 0}, -1, -1,
                        "We need prepare 5 bytes for recevie SMBIOS/DMI Table\n", 0},
        AcquisitionCase{"FetchFillsLessThanHeader", kBlock, -1, 7,
                        "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n", 0},
        AcquisitionCase{"FetchFillsPartOfTable", kBlock, -1, 8 + 52,
                        "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n" + kHeader +
                            kBiosBlock,
                        1},
        AcquisitionCase{"TableGrewAfterSizeQuery", kBlock, 40, -1,
                        "We need prepare 40 bytes for recevie SMBIOS/DMI Table\n", 0},
        AcquisitionCase{"HeaderLengthPastFetchedBytes", WithLength(kBlock, 0x80000000), -1, -1,
                        "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n"
                        "SMBIOS version:3.2\nDMI Revision:0\nTotal length: -2147483648\n"
                        "DMI at address ADDRESS\n" +
                            kBiosBlock + PlatformBlock("Morlane"),
                        1},
        AcquisitionCase{"TableLengthZero", WithLength(kBlock, 0), -1, -1,
                        "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n"
                        "SMBIOS version:3.2\nDMI Revision:0\nTotal length: 0\n"
                        "DMI at address ADDRESS\n",
                        1}),
    CaseName());

TEST_F(InventoryTest, HeaderFieldsAndAddressOfTheTable) {
  Fake().firmware = {0, 2, 4, 0x1A, 0, 0, 0, 0};
  ::testing::internal::CaptureStdout();
  ReadSmbiosTable();
  std::string report = ::testing::internal::GetCapturedStdout();
  std::smatch address;
  ASSERT_TRUE(std::regex_search(report, address, std::regex("DMI at address ([0-9A-F]+)\n")));
  EXPECT_EQ(address[1].length(), static_cast<long>(2 * sizeof(void*)));
  EXPECT_NE(report.find("SMBIOS version:2.4\nDMI Revision:1a\nTotal length: 0\n"),
            std::string::npos);
}

TEST_F(InventoryTest, AllocationFailureReportsOnConsoleAndDebugChannel) {
  Fake().firmware = kBlock;
  Fake().heapAllocationsLeft = 0;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReadSmbiosTable(), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "We need prepare 80 bytes for recevie SMBIOS/DMI Table\n"
            "Can not allocate memory for recevice SMBIOS/DMI table\n");
  EXPECT_EQ(Fake().debugMessages,
            std::vector<std::wstring>{L"Can not allocate memory for recevice SMBIOS/DMI table"});
  EXPECT_EQ(BiosVersionText[0], L'\0');
}

}  // namespace
