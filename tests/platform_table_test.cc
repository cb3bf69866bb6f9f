#include "install/platform_table.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/install_fixtures.h"
#include "tests/plain_lookup.h"

namespace {

struct PathCase {
  std::wstring moduleFileName;
  std::wstring name;
  std::wstring path;
};

class BuildPathTest : public InstallTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(BuildPathTest, DirectoryOfTheProgramThenName) {
  Fake().moduleFileName = GetParam().moduleFileName;
  wchar_t path[kPathCapacity];
  std::fill_n(path, kPathCapacity, L'#');
  BuildPathBesideProgram(path, GetParam().name.c_str());
  EXPECT_EQ(std::wstring(path), GetParam().path);
  EXPECT_EQ(std::count(path, path + kPathCapacity, L'\0'),
            static_cast<long>(kPathCapacity - GetParam().path.size()));
}

// A directory of `length` characters: "C:\" and then letters.
std::wstring Directory(size_t length) { return L"C:\\" + std::wstring(length - 3, L'd'); }

INSTANTIATE_TEST_SUITE_P(
    ModuleNames, BuildPathTest,
    ::testing::Values(
        PathCase{L"C:\\Kit\\ThermalMapInstaller.exe", L"MRL01", L"C:\\Kit\\MRL01"},
        PathCase{L"C:\\ThermalMapInstaller.exe", L"t.ini", L"C:\\t.ini"},
        PathCase{L"\\\\server\\share\\x.exe", L"t.ini", L"\\\\server\\share\\t.ini"},
        PathCase{L"C:\\Kit\\ThermalMapInstaller.exe", L"", L"C:\\Kit\\"},
        // Position 0 is never taken for the directory's end.
        PathCase{L"\\ThermalMapInstaller.exe", L"t.ini", L""},
        PathCase{L"ThermalMapInstaller.exe", L"t.ini", L""},
        PathCase{L"", L"t.ini", L""},
        // 259 characters fit; one more would be a different, cut path.
        PathCase{Directory(200) + L"\\p.exe", std::wstring(58, L'n'),
                 Directory(200) + L"\\" + std::wstring(58, L'n')},
        PathCase{Directory(200) + L"\\p.exe", std::wstring(59, L'n'), L""},
        // A module name that filled its buffer may itself have been cut.
        PathCase{Directory(200) + L"\\" + std::wstring(58, L'p'), L"t.ini",
                 Directory(200) + L"\\t.ini"},
        PathCase{Directory(200) + L"\\" + std::wstring(59, L'p'), L"t.ini", L""}));

struct TagCase {
  const char* name;
  std::wstring table;
  int result;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class TagTest : public InstallTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(TagTest, OnlyTheExactTagPasses) {
  if (!GetParam().table.empty()) Table(GetParam().table);
  EXPECT_EQ(CheckPlatformTableVersion(), GetParam().result);
  std::vector<std::wstring> expected;
  if (GetParam().result == 0) expected = {L"Read ini version error,"};
  EXPECT_EQ(Fake().debugMessages, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TagTest,
    ::testing::Values(TagCase{"Exact", kTag, 1},
                      TagCase{"NamesIgnoreCaseAndBlanks", L" [ version ]\r\n  VER =  Morlane_V4.0.0.4  \r\n", 1},
                      TagCase{"Quoted", L"[Version]\nVer=\"Morlane_V4.0.0.4\"\n", 1},
                      TagCase{"TagInOtherCase", L"[Version]\nVer=morlane_v4.0.0.4\n", 0},
                      TagCase{"OtherVersion", L"[Version]\nVer=Morlane_V4.0.0.5\n", 0},
                      TagCase{"NoKey", L"[Version]\nVersion=Morlane_V4.0.0.4\n", 0},
                      TagCase{"NoFile", L"", 0}),
    CaseName());

TEST_F(InstallTest, TagCheckWithoutProgramDirectoryReadsNothing) {
  Fake().moduleFileName = L"ThermalMapInstaller.exe";
  SetProfileFile(L"\\KORVPlatformTable.ini", AnsiBytes(kTag));
  SetProfileFile(L"KORVPlatformTable.ini", AnsiBytes(kTag));
  EXPECT_EQ(CheckPlatformTableVersion(), 0);
  EXPECT_EQ(Fake().profileReads, 0);
  EXPECT_EQ(Fake().debugMessages, std::vector<std::wstring>{L"Read ini version error,"});
}

TEST(ParseTableCount, LikeTheWideTextToIntegerConversion) {
  struct Case {
    const wchar_t* text;
    int32_t count;
  };
  for (Case c : {Case{L"2", 2}, Case{L" 2x", 2}, Case{L"\t+7", 7}, Case{L"-3", -3},
                 Case{L"N/A", 0}, Case{L"", 0}, Case{L"x2", 0}, Case{L"- 2", 0},
                 Case{L"2147483647", 2147483647}, Case{L"2147483648", 2147483647},
                 Case{L"99999999999999999999", 2147483647}, Case{L"-2147483648", INT32_MIN},
                 Case{L"-99999999999999999999", INT32_MIN}, Case{L"0002", 2}}) {
    EXPECT_EQ(ParseTableCount(c.text), c.count) << ::testing::PrintToString(c.text);
  }
}

const std::wstring k99(99, L'e');

// Small tables whose every key from 1 to the count can be read one by one.
const std::vector<std::wstring> kTables = {
    L"TOTAL_NUM=2\n1=ABC12\n2=XYZ9\n",
    L"TOTAL_NUM= 2x\n1=ABC12\n2=XYZ9\n3=MRL01\n",
    L"TOTAL_NUM=3\n1=ABC12\n2=XYZ9\n",
    L"TOTAL_NUM=0\n1=ABC12\n",
    L"TOTAL_NUM=-4\n1=ABC12\n",
    L"TOTAL_NUM=N/A\n1=ABC12\n",
    L"1=ABC12\n",
    L"TOTAL_NUM=4\n4=MRL01\n01=ABC12\n+2=XYZ9\n 3 = abc12 \n",
    L"TOTAL_NUM=3\n1=\n2=N/A\n",
    L"TOTAL_NUM=2\n1\n1=ABC12\n2='XYZ9'\n",
    L"TOTAL_NUM=3\n2=XYZ9\n2=MRL01\n1=ABC12\n;3=ABC12\n",
    L"TOTAL_NUM=2\n1=" + k99 + L"e\n2=" + k99 + L"\n",
    L"TOTAL_NUM=5\r1=ABC12\r\r5=MRL01\r",
    L"TOTAL_NUM=4\n1=\"" + k99 + L"\"\n2='" + k99 + L"e'\n3=\"" + k99 + L"\n4=\"" + k99 + L"ee\"\n",
    L"TOTAL_NUM=3\n1=\"\"\n2=''\n3=\"\n",
    L"TOTAL_NUM=2\n1='ABC12'\n2=\"XYZ9'\n",
};

const std::vector<std::wstring> kValues = {
    L"ABC12", L"abc12", L"XYZ9",          L"'XYZ9'",         L"\"XYZ9'", L"XYZ9'",     L"MRL01",
    L"N/A",   L"",      L"2",             L"\"",             k99,        k99 + L"e", k99.substr(1),
    L"\"" + k99.substr(1), L"'" + k99.substr(1), std::wstring(98, L'e')};

// The fast lookup and the listing give the plain lookup's answer for every
// table and value, in both sections, whatever else the section holds.
TEST_F(InstallTest, LookupEqualsPlainLookup) {
  for (const std::wstring& entries : kTables) {
    for (int tableType : {0, 130}) {
      const wchar_t* section = tableType == 0 ? L"DMI_Type0_Table" : L"DMI_Type130_Table";
      Table(std::wstring(kTag) + L"[" + section + L"]\n" + entries + L"[Other]\nTOTAL_NUM=9\n1=MRL01\n");
      for (const std::wstring& value : kValues) {
        uint32_t plain = PlainLookup(value.c_str(), section, kTablePath);
        EXPECT_EQ(FindPlatformTableKey(value.c_str(), tableType), plain)
            << "table " << ::testing::PrintToString(entries) << " type " << tableType << " value "
            << ::testing::PrintToString(value);
        EXPECT_EQ(ListedKey(value.c_str(), tableType), plain) << "listed";
      }
      EXPECT_EQ(FindInPlatformTable(L"MRL01", tableType == 0 ? 130 : 0), 0);
    }
  }
  EXPECT_EQ(LiveHeapBlocks(), 0u);
}

TEST_F(InstallTest, LookupIsFoundOrNotForTheCasesThatMatter) {
  struct Case {
    std::wstring entries;
    std::wstring value;
    int found;
  };
  for (const Case& c : {
           Case{L"TOTAL_NUM=2\n1=ABC12\n2=XYZ9\n", L"XYZ9", 1},
           Case{L"TOTAL_NUM=1\n1=ABC12\n2=XYZ9\n", L"XYZ9", 0},
           Case{L"TOTAL_NUM= 2x\n1=ABC12\n2=XYZ9\n", L"XYZ9", 1},
           Case{L"TOTAL_NUM=3\n1=ABC12\n2=XYZ9\n", L"N/A", 1},
           Case{L"TOTAL_NUM=2\n1=ABC12\n2=XYZ9\n", L"N/A", 0},
           Case{L"TOTAL_NUM=0\n1=ABC12\n", L"ABC12", 0},
           Case{L"TOTAL_NUM=-1\n1=ABC12\n", L"ABC12", 0},
           Case{L"TOTAL_NUM=2\n1=ABC12\n", L"abc12", 0},
           Case{L"TOTAL_NUM=1\n1=" + k99 + L"e\n", k99, 1},
           Case{L"TOTAL_NUM=1\n1=" + k99 + L"e\n", k99 + L"e", 0},
           Case{L"TOTAL_NUM=2147483647\n1=ABC12\n2=XYZ9\n", L"XYZ9", 1},
           Case{L"TOTAL_NUM=99999999999\n1=ABC12\n", L"N/A", 1},
           Case{L"TOTAL_NUM=2147483647\n2147483647=LAST\n", L"LAST", 1},
           // Text is trimmed before a zero character cuts it: no read finds
           // the name "1\t", and the value keeps its blank.
           Case{L"TOTAL_NUM=1\n1\t" + std::wstring(1, L'\0') + L"=X\n", L"N/A", 1},
           Case{L"TOTAL_NUM=1\n1=Null " + std::wstring(1, L'\0') + L"String\n", L"Null ", 1},
       }) {
    Table(std::wstring(kTag) + L"[DMI_Type0_Table]\n" + c.entries);
    EXPECT_EQ(FindInPlatformTable(c.value.c_str(), 0), c.found)
        << ::testing::PrintToString(c.entries) << ::testing::PrintToString(c.value);
  }
  EXPECT_EQ(FindInPlatformTable(nullptr, 0), 0);
}

// The largest count costs a few reads, not one per number.
TEST_F(InstallTest, LookupReadsDoNotFollowTheCount) {
  Table(std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=2147483647\n1=ABC12\n2=XYZ9\n");
  EXPECT_EQ(FindInPlatformTable(L"MRL01", 0), 0);
  EXPECT_LE(Fake().profileReads, 4);
}

TEST_F(InstallTest, LookupWithoutMemoryFindsNothing) {
  Table(std::wstring(kTag) + L"[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n");
  for (int allocations : {0, 1}) {
    Fake().heapAllocationsLeft = allocations;
    EXPECT_EQ(FindInPlatformTable(L"ABC12", 0), 0);
    EXPECT_EQ(LiveHeapBlocks(), 0u);
  }
}

// A section longer than the first buffer is read whole.
TEST_F(InstallTest, LookupReadsLongSections) {
  std::wstring entries = L"TOTAL_NUM=20000\n";
  for (int i = 20000; i >= 1; --i) entries += std::to_wstring(i) + L"=P" + std::to_wstring(i) + L"\n";
  Table(std::wstring(kTag) + L"[DMI_Type130_Table]\n" + entries);
  EXPECT_EQ(FindInPlatformTable(L"P1", 130), 1);
  EXPECT_EQ(FindInPlatformTable(L"N/A", 130), 0);
}

struct HostileCase {
  const char* name;
  std::string bytes;
  int tag;
  std::wstring value;
  int found;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

std::string Utf16LittleEndian(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

std::string Garbage(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& b : bytes) {
    state = state * 1103515245 + 12345;
    b = static_cast<char>(state >> 16);
  }
  return bytes;
}

const std::string kAnsiTag = AnsiBytes(kTag);

// A table padded with other keys to about `size` bytes.
std::string Padded(const std::string& entries, size_t size) {
  std::string bytes = kAnsiTag + "[DMI_Type0_Table]\n" + entries;
  for (int i = 0; bytes.size() < size; ++i) bytes += "Pad" + std::to_string(i) + "=value\n";
  return bytes;
}

class HostileTableTest : public InstallTest, public ::testing::WithParamInterface<HostileCase> {};

// No crash, no hang, and the answer of the plain lookup under the profile
// reader's rules.
TEST_P(HostileTableTest, GivesTheRulesResult) {
  const HostileCase& c = GetParam();
  SetProfileFile(kTablePath, c.bytes);
  EXPECT_EQ(CheckPlatformTableVersion(), c.tag);
  EXPECT_EQ(FindInPlatformTable(c.value.c_str(), 0), c.found);
  EXPECT_EQ(PlainLookup(c.value.c_str(), L"DMI_Type0_Table", kTablePath) != 0, c.found != 0);
  EXPECT_EQ(LiveHeapBlocks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileTableTest,
    ::testing::Values(
        HostileCase{"BinaryGarbage", Garbage(65536), 0, L"ABC12", 0},
        HostileCase{"GarbageAfterTable", kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n" + Garbage(4096),
                    1, L"ABC12", 1},
        HostileCase{"Utf16WithByteOrderMark",
                    Utf16LittleEndian(std::wstring(kTag) +
                                      L"[DMI_Type0_Table]\r\nTOTAL_NUM=1\r\n1=\u00C4BC12\r\n"),
                    1, L"\u00C4BC12", 1},
        HostileCase{"Utf16WithoutByteOrderMarkIsNotText",
                    Utf16LittleEndian(std::wstring(kTag)).substr(2), 0, L"N/A", 0},
        HostileCase{"OneMegabyte", Padded("TOTAL_NUM=2\n1=ABC12\n", 1 << 20), 1, L"XYZ9", 0},
        HostileCase{"OneMegabyteFound", Padded("TOTAL_NUM=2\n2=XYZ9\n", 1 << 20), 1, L"XYZ9", 1},
        HostileCase{"LongLineCutTo99", kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n1=" +
                                           std::string(100000, 'x') + "\n",
                    1, std::wstring(99, L'x'), 1},
        HostileCase{"LongKeyName", kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n" +
                                       std::string(100000, '1') + "=ABC12\n",
                    1, L"N/A", 1},
        HostileCase{"SectionRepeatedOnlyFirstCounts",
                    kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n"
                               "[dmi_type0_table]\nTOTAL_NUM=2\n2=XYZ9\n",
                    1, L"XYZ9", 0},
        HostileCase{"KeyRepeatedFirstCounts",
                    kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n1=ABC12\n1=XYZ9\n", 1, L"XYZ9", 0},
        HostileCase{"KeyWithoutValueHidesLaterOne",
                    kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n1\n1=XYZ9\n", 1, L"N/A", 1},
        HostileCase{"LeadingZeroIsAnotherKey",
                    kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n01=ABC12\n", 1, L"ABC12", 0},
        HostileCase{"PlusSignIsAnotherKey",
                    kAnsiTag + "[DMI_Type0_Table]\nTOTAL_NUM=1\n+1=ABC12\n", 1, L"N/A", 1},
        HostileCase{"ZeroBytesInside",
                    kAnsiTag + std::string("[DMI_Type0_Table]\nTOTAL_NUM=1\n1=AB\0C12\n", 39), 1,
                    L"AB", 1}),
    CaseName());

}  // namespace
