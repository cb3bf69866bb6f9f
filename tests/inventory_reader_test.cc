#include "fleet/inventory_reader.h"

#include <gtest/gtest.h>

#include "fleet/export_start.h"
#include "tests/pieces_reader.h"
#include "tests/smbios_fixtures.h"

namespace {

std::string Utf16(const std::u16string& text, bool little) {
  std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    char low = static_cast<char>(unit & 0xFF);
    char high = static_cast<char>(unit >> 8);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// The rows as "name|bios version|platform name", or "!line N" for a row
// without its cells ("!line N cut" past the limit); the header's state when
// it has no BIOS version column.
std::vector<std::string> Read(const std::string& bytes, const InventoryColumns& columns, size_t piece,
                              size_t longestRecord = kLongestInventoryRow, size_t failAt = SIZE_MAX) {
  Pieces pieces{&bytes, 0, piece, failAt};
  InventoryReader reader(ReadPieces, &pieces, longestRecord);
  switch (reader.ReadHeader(columns)) {
    case InventoryHeader::kRead: break;
    case InventoryHeader::kEmpty: return {"empty"};
    case InventoryHeader::kTooLong: return {"header too long"};
    case InventoryHeader::kNoBiosVersionColumn: return {"no header"};
  }
  std::vector<std::string> rows;
  if (!reader.HasColumn(kPlatformNameColumn)) rows.emplace_back("no platform column");
  InventoryRow row;
  while (reader.ReadRow(row)) {
    rows.push_back(row.complete ? std::string(row.name) + "|" + std::string(row.cells[kBiosVersionColumn]) + "|" +
                                      std::string(row.cells[kPlatformNameColumn])
                                : "!line " + std::to_string(row.line) + (row.tooLong ? " cut" : ""));
  }
  if (reader.ReadFailed()) rows.push_back("failed at line " + std::to_string(reader.Line()));
  return rows;
}

struct ReaderCase {
  const char* name;
  std::string bytes;
  InventoryColumns columns;
  std::vector<std::string> rows;
  size_t longestRecord = kLongestInventoryRow;
  size_t failAt = SIZE_MAX;
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class InventoryReaderTest : public ::testing::TestWithParam<ReaderCase> {};

const char kGreatWall[] = "\xE9\x95\xBF\xE5\x9F\x8E";  // the Great Wall, in UTF-8

// Whole, and a byte at a time: a row never depends on where reads end.
TEST_P(InventoryReaderTest, ReadsTheRowsAsGiven) {
  const ReaderCase& c = GetParam();
  EXPECT_EQ(Read(c.bytes, c.columns, SIZE_MAX, c.longestRecord, c.failAt), c.rows);
  EXPECT_EQ(Read(c.bytes, c.columns, 1, c.longestRecord, c.failAt), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, InventoryReaderTest,
    ::testing::Values(
        ReaderCase{"Plain", std::string("name,bios_version,platform_name\nPC1,MRL01.0105,Morlane\nPC2,") + kGreatWall + "BIOS V3.0,\n",
                   {}, {"PC1|MRL01.0105|Morlane", std::string("PC2|") + kGreatWall + "BIOS V3.0|"}},
        // PowerShell 5.1's Export-Csv: a #TYPE line, quoted cells, CRLF, no
        // line break after the last row.
        ReaderCase{"PowerShell",
                   "#TYPE Selected.System.Management.ManagementObject\r\n"
                   "\"PSComputerName\",\"SMBIOSBIOSVersion\"\r\n\"PC1\",\"N22ET52W (1.29 )\"\r\n\"PC2\",\"3.0c\"",
                   {}, {"no platform column", "PC1|N22ET52W (1.29 )|", "PC2|3.0c|"}},
        ReaderCase{"HeaderCaseAndBlanks", "Name, BIOS_Version ,PLATFORM_NAME\nPC1,A.1,P\n", {}, {"PC1|A.1|P"}},
        ReaderCase{"NamedColumns", "host,fw,model,bios_version\nPC1,A.1,P,other\n", {"FW", "model", "", ""},
                   {"PC1|A.1|P"}},
        ReaderCase{"NoBiosVersionColumn", "name,version\nPC1,A.1\n", {}, {"no header"}},
        ReaderCase{"Utf8ByteOrderMark", "\xEF\xBB\xBFname,bios_version,platform_name\nPC1,A.1,P\n", {},
                   {"PC1|A.1|P"}},
        ReaderCase{"Utf16Little",
                   Utf16(u"name,SMBIOSBIOSVersion,platform_name\r\nPC1,\u957F\u57CEBIOS V3.0,P\r\n", true), {},
                   {std::string("PC1|") + kGreatWall + "BIOS V3.0|P"}},
        ReaderCase{"Utf16BigWithPairAndLoneSurrogate",
                   Utf16(u"name,bios_version,platform_name\nPC1,A\U0001F600.1,P\xD800\n", false), {},
                   {"PC1|A\xF0\x9F\x98\x80.1|P\xEF\xBF\xBD"}},
        // Bytes that are no UTF-8 are Windows-1252, as an "ANSI" export.
        ReaderCase{"Windows1252", "name,bios_version,platform_name\nPC1,Caf\xE9 \x80.1,P\n", {},
                   {"PC1|Caf\xC3\xA9 \xE2\x82\xAC.1|P"}},
        ReaderCase{"QuotesCommasAndLineBreaksKept",
                   "name,bios_version,platform_name\n\"PC, 1\",\"A\"\"B\".1,\"two\nlines\"\n", {},
                   {"PC, 1|A\"B.1|two\nlines"}},
        ReaderCase{"BlankLinesAndLoneCarriageReturns", "name,bios_version,platform_name\r\rPC1,A.1,P\r\n\nPC2,B,Q", {},
                   {"PC1|A.1|P", "PC2|B|Q"}},
        ReaderCase{"TooFewCells", "name,bios_version,platform_name\nPC1,A.1\n\"x\ny\",B,C\nPC3\n", {},
                   {"!line 2", "x\ny|B|C", "!line 5"}},
        // A quote inside a cell is a character of it; only a cell's first
        // opens quotes, so no row ever swallows the next.
        ReaderCase{"StrayQuoteInCell",
                   "name,bios_version,platform_name\npc-1,A.1,Board \"X\npc-2,B.1,P\"Q\"\n\"pc-3\"x\"y,C.1,P\n", {},
                   {"pc-1|A.1|Board \"X", "pc-2|B.1|P\"Q\"", "pc-3x\"y|C.1|P"}},
        // A copy cut before its hash cells, under hash columns named in the
        // header, is short of them.
        ReaderCase{"ShortOfHashCells",
                   "name,bios_version,platform_name,AC_Hash,DC_Hash\nm1,A.1,P,aa,bb\nm2,A.1,P,,\nm3,A.1,P,\n",
                   {"", "", "ac_hash", "DC_HASH"}, {"m1|A.1|P", "m2|A.1|P", "!line 4"}},
        ReaderCase{"RepeatedHeaderPassedOver",
                   "name,bios_version,platform_name\nPC1,A.1,P\nname,bios_version,platform_name\nPC2,B,Q\n", {},
                   {"PC1|A.1|P", "PC2|B|Q"}},
        // A failed read ends the export without the row it cut.
        ReaderCase{"ReadFailsPartWay", "name,bios_version,platform_name\nPC1,A.1,P\nPC2,B.1,Q\n", {},
                   {"PC1|A.1|P", "failed at line 3"}, kLongestInventoryRow, 48},
        ReaderCase{"CutInsideQuotes", "name,bios_version,platform_name\nPC1,\"A.1,P\n", {}, {"!line 2"}},
        // Past the limit a record gives no cells, though cells follow the cut.
        ReaderCase{"LongHeader", "bios_version," + std::string(40, 'a') + ",a,b\nB1,x,y,z\n", {},
                   {"header too long"}, 32},
        ReaderCase{"LongRowsBetweenShortOnes",
                   "name,bios_version,platform_name\nPC1," + std::string(40, 'a') + ",P,x\n\"PC2\",\"" +
                       std::string(40, 'b') + "\",\"P\"\nPC3,C.1,P\n",
                   {}, {"!line 2 cut", "!line 3 cut", "PC3|C.1|P"}, 32},
        ReaderCase{"Empty", "", {}, {"empty"}}),
    CaseName());

TEST(InventoryReaderTest, TellsAnExportFromAFirmwareFile) {
  auto start = [](const std::string& bytes, bool more) {
    InventoryReader reader(nullptr, nullptr);
    std::string mistake;
    return ClassifyStart(bytes, more, {}, reader, mistake);
  };
  EXPECT_EQ(start("name,bios_version,platform_name\n", false), FileStart::kExport);
  EXPECT_EQ(start(Utf16(u"SMBIOSBIOSVersion\r\n", true), false), FileStart::kExport);
  EXPECT_EQ(start(std::string("\0\3\2\0bios_version\n", 17), false), FileStart::kOther);
  EXPECT_EQ(start("name,version\n", false), FileStart::kMistakenExport);
  EXPECT_EQ(start("not a table\n", false), FileStart::kOther);
  // A header longer than the start is the export reader's to judge.
  EXPECT_EQ(start(std::string(100, 'a'), true), FileStart::kExport);
}

}  // namespace
