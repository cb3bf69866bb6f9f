#include <gtest/gtest.h>

#include "tests/smbios_fixtures.h"

namespace {

Bytes Bios(Bytes formatted, const std::vector<std::string>& strings) {
  return Structure(std::move(formatted), strings);
}

Bytes BiosWith(size_t offset, uint8_t value, size_t length = 24) {
  Bytes area = BiosFormatted(length);
  area[offset] = value;
  return area;
}

const std::vector<std::string> kStrings = {"Acme", "V1.0", "2025"};

struct DecoderCase {
  const char* name;
  Bytes structure;
  std::string report;
  std::wstring captured;
};

void PrintTo(const DecoderCase& c, std::ostream* os) { *os << c.name; }

class DecoderTest : public InventoryTest, public ::testing::WithParamInterface<DecoderCase> {};

TEST_P(DecoderTest, PrintsTheBlockAndCapturesItsText) {
  const DecoderCase& c = GetParam();
  EXPECT_EQ(Walk(c.structure), c.report);
  EXPECT_EQ(std::wstring(c.structure[0] == 0 ? BiosVersionText : BiosPlatformText), c.captured);
}

std::string ReleaseLines(const std::string& bios, const std::string& ec) {
  return "System BIOS version: " + bios + "\nEC Firmware version: " + ec + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Structures, DecoderTest,
    ::testing::Values(
        DecoderCase{"Length24HasReleaseLines", Bios(BiosFormatted(24), kStrings),
                    BiosBlock("Acme", "V1.0", "2025"), L"V1.0"},
        DecoderCase{"Length20HasNoReleaseLines", Bios(BiosFormatted(20), kStrings),
                    BiosBlock("Acme", "V1.0", "2025", false), L"V1.0"},
        // Bytes 0x15 to 0x17 come from the string set: 'A', 'c', 'm'.
        DecoderCase{"Length21TakesReleaseBytesFromStrings", Bios(BiosFormatted(21), kStrings),
                    BiosBlock("Acme", "V1.0", "2025", false) + ReleaseLines("1.65", "99.109"),
                    L"V1.0"},
        // The structure ends before 0x17: that byte reads as 0, not as the
        // next structure's or beyond the table.
        DecoderCase{"Length21ReleaseBytesBeyondStructure", Bios(BiosFormatted(21), {}),
                    BiosBlock("Null String", "Null String", "Null String", false) +
                        ReleaseLines("1.0", "0.0"),
                    L"Null String"},
        DecoderCase{"VendorNumberZero", Bios(BiosWith(4, 0), kStrings),
                    BiosBlock("Null String", "V1.0", "2025"), L"V1.0"},
        DecoderCase{"NumberOnePastTheSet", Bios(BiosWith(5, 4), kStrings),
                    BiosBlock("Acme", "", "2025"), L""},
        DecoderCase{"NumberFarPastTheSet", Bios(BiosWith(5, 255), kStrings),
                    BiosBlock("Acme", "", "2025"), L""},
        DecoderCase{"RomSizeZero", Bios(BiosWith(9, 0), kStrings),
                    "==========          BIOS information           ==========\n"
                    "Vendor: Acme\nVersion: V1.0\nBIOS Starting Segment: 0xE800\n"
                    "Release Date: 2025\nImage Size: 64K\n" +
                        ReleaseLines("1.2", "3.4"),
                    L"V1.0"},
        DecoderCase{"RomSizeFF", Bios(BiosWith(9, 0xFF), kStrings),
                    "==========          BIOS information           ==========\n"
                    "Vendor: Acme\nVersion: V1.0\nBIOS Starting Segment: 0xE800\n"
                    "Release Date: 2025\nImage Size: 16384K\n" +
                        ReleaseLines("1.2", "3.4"),
                    L"V1.0"},
        DecoderCase{"SegmentWithoutLeadingZeros", Bios(BiosWith(7, 0x00), kStrings),
                    "==========          BIOS information           ==========\n"
                    "Vendor: Acme\nVersion: V1.0\nBIOS Starting Segment: 0x0\n"
                    "Release Date: 2025\nImage Size: 4096K\n" +
                        ReleaseLines("1.2", "3.4"),
                    L"V1.0"},
        DecoderCase{"ReleaseBytesPrintedUnsigned", Bios(BiosWith(0x17, 0xFF), kStrings),
                    BiosBlock("Acme", "V1.0", "2025", false) + ReleaseLines("1.2", "3.255"),
                    L"V1.0"},
        DecoderCase{"PercentInVersionKeptAsIs", Bios(BiosFormatted(), {"A", "1.0%s%d%p", "D"}),
                    BiosBlock("A", "1.0%s%d%p", "D"), L"1.0%s%d%p"},
        // Outside printable ASCII the report shows '?'; the capture keeps it.
        DecoderCase{"NonAsciiPrintedAsQuestionMark",
                    Bios(BiosFormatted(), {"Caf\xE9", "R\xE9v\t1", "D"}),
                    BiosBlock("Caf?", "R?v?1", "D"), L"R\u00E9v\t1"},
        DecoderCase{"PlatformLength5", Structure(PlatformFormatted(5), {"Morlane"}),
                    PlatformBlock("Morlane"), L"Morlane"},
        DecoderCase{"PlatformLength16", Structure(PlatformFormatted(16), {"Morlane"}),
                    PlatformBlock("Morlane", "0x10"), L"Morlane"},
        DecoderCase{"PlatformEmptySet", Structure(PlatformFormatted(), {}),
                    PlatformBlock("Null String"), L"Null String"},
        DecoderCase{"PlatformNumberZero", Structure({130, 0, 0, 0, 0}, {"Morlane"}),
                    PlatformBlock("Null String"), L"Null String"}),
    CaseName());

// Strings longer than the buffers: the report line is never cut short of
// what the conversion holds, and the capture is cut to 259 characters.
TEST_F(InventoryTest, LongStringsAreCutSafely) {
  struct Case {
    size_t length;
    size_t printed;
  };
  for (Case c : {Case{259, 259}, Case{260, 260}, Case{300, 300}, Case{2047, 2047},
                 Case{3000, 2047}}) {
    SetUp();
    std::string version(c.length, 'v');
    std::string report = Walk(Structure(BiosFormatted(), {"A", version, "D"}));
    EXPECT_NE(report.find("\nVersion: " + std::string(c.printed, 'v') + "\n"), std::string::npos)
        << c.length;
    EXPECT_EQ(std::wstring(BiosVersionText), std::wstring(std::min<size_t>(c.length, 259), L'v'))
        << c.length;
  }
}

TEST(SectionBannerTable, RowsAreFixedWidthBanners) {
  EXPECT_STREQ(SectionBannerTable[0], "-=======================================================-");
  EXPECT_STREQ(SectionBannerTable[1], "==========          BIOS information           ==========");
  for (const auto& row : SectionBannerTable) EXPECT_EQ(std::strlen(row), 57u) << row;
}

}  // namespace
