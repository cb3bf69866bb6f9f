#include "check/kit_findings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "install/platform_table.h"
#include "tests/install_fixtures.h"

namespace {

struct FindingCase {
  const char* name;
  std::string table;  // empty: no table file
  const char* code;
  int line;
};

void PrintTo(const FindingCase& c, std::ostream* os) { *os << c.name; }

class KitFindingsTest : public InstallTest, public ::testing::WithParamInterface<FindingCase> {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    UseKitFolder(L"");
  }
  static void Maps(const std::wstring& dir, bool dc = true) {
    Fake().files[dir + L"\\ThermalMap_AC.ini"] = {"AC"};
    if (dc) Fake().files[dir + L"\\ThermalMap_DC.ini"] = {"DC"};
  }
};

const std::string kHead = "[Version]\nVer=Morlane_V4.0.0.4\n[DMI_Type0_Table]\n";  // lines 1-3
const std::string k100(100, 'e');

TEST_P(KitFindingsTest, ReportsTheMistakeWhereItStands) {
  const FindingCase& c = GetParam();
  if (!c.table.empty()) SetProfileFile(kTablePath, c.table);
  Maps(L"C:\\Kit\\ABC12");
  Maps(L"C:\\Kit\\NoDc", false);
  Maps(L"C:\\Kit\\" + std::wstring(99, L'e'));
  // A platform folder that links out of the kit, to a folder whose name
  // starts like the kit's.
  Maps(L"C:\\Kit2\\Linked");
  Fake().links[L"C:\\Kit\\Linked"] = L"C:\\Kit2\\Linked";
  std::vector<KitFinding> findings = FindKitMistakes();
  std::string all;
  bool found = false;
  for (const KitFinding& f : findings) {
    all += std::string(f.code) + ":" + std::to_string(f.line) + " " + f.message + "\n";
    found |= std::string(f.code) == c.code && f.line == c.line;
  }
  EXPECT_TRUE(found) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Kits, KitFindingsTest,
    ::testing::Values(
        FindingCase{"Tag", "[Version]\nVer=morlane_v4.0.0.4\n", "tag", 2},
        FindingCase{"TableMissing", "", "table-missing", 0},
        FindingCase{"Count", kHead + "TOTAL_NUM=x\n1=ABC12\n", "count", 4},
        FindingCase{"CountAbsent", kHead + "1=ABC12\n", "count", 3},
        FindingCase{"MapMissing", kHead + "TOTAL_NUM=1\n1=NoDc\n", "map-missing", 5},
        FindingCase{"FolderMissing", kHead + "TOTAL_NUM=1\n1=Gone\n", "folder-missing", 5},
        FindingCase{"MapOutsideKit", kHead + "TOTAL_NUM=1\n1=Linked\n", "map-outside-kit", 5},
        FindingCase{"CountText", kHead + "TOTAL_NUM=1x\n1=ABC12\n", "count-text", 4},
        FindingCase{"CountSaturates", kHead + "TOTAL_NUM=99999999999\n1=ABC12\n", "count-text", 4},
        FindingCase{"NumberWithoutKey", kHead + "TOTAL_NUM=3\n2=ABC12\n", "number-without-key", 4},
        FindingCase{"KeyBeyondCount", kHead + "TOTAL_NUM=1\n1=ABC12\n2=XYZ9\n", "key-beyond-count", 6},
        FindingCase{"KeyNotCanonical", kHead + "TOTAL_NUM=1\n1=ABC12\n+1=XYZ9\n", "key-not-canonical", 6},
        FindingCase{"KeyRepeated", kHead + "TOTAL_NUM=1\n1=ABC12\n1=XYZ9\n", "key-repeated", 6},
        FindingCase{"SectionRepeated", kHead + "TOTAL_NUM=1\n1=ABC12\n[dmi_type0_table]\n2=X\n",
                    "section-repeated", 6},
        FindingCase{"EntryTooLong", kHead + "TOTAL_NUM=1\n1=" + k100 + "\n", "entry-too-long", 5},
        FindingCase{"EntryHasDot", kHead + "TOTAL_NUM=1\n1=ABC12.01\n", "entry-has-dot", 5},
        FindingCase{"EntryEmpty", kHead + "TOTAL_NUM=1\n1=\n", "entry-empty", 5},
        FindingCase{"EntryNa", kHead + "TOTAL_NUM=1\n1=N/A\n", "entry-na", 5},
        FindingCase{"EntryNullString",
                    "[Version]\nVer=Morlane_V4.0.0.4\n[DMI_Type130_Table]\nTOTAL_NUM=1\n1=Null String\n",
                    "entry-null-string", 5},
        FindingCase{"EntryBlanks", kHead + "TOTAL_NUM=1\n1=  ABC12\n", "entry-blanks", 5},
        FindingCase{"EntryQuoted", kHead + "TOTAL_NUM=1\n1=\"ABC12\"\n", "entry-quoted", 5},
        FindingCase{"Encoding", kHead + "; caf\xe9\r\nTOTAL_NUM=1\r\n1=ABC12\r\n", "encoding", 4}),
    CaseName());

TEST_F(KitFindingsTest, FolderUnlisted) {
  SetProfileFile(kTablePath, kHead + "TOTAL_NUM=1\n1=ABC12\n");
  Maps(L"C:\\Kit\\ABC12");
  Maps(L"C:\\Kit\\Spare", false);
  Fake().files[L"C:\\Kit\\Empty\\readme.txt"] = {"no maps"};
  std::vector<KitFinding> findings = FindKitMistakes();
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(std::string(findings[0].code), "folder-unlisted");
  EXPECT_EQ(findings[0].file, L"Spare");
  EXPECT_EQ(findings[0].line, 0);
  EXPECT_EQ(Fake().openFiles, 0);
}

// An ACL in the system's layout, of entries of `type` (0 allows, 1 denies)
// granting `mask` to the SID whose bytes follow.
std::string Ace(uint8_t type, uint32_t mask, std::vector<uint8_t> sid) {
  std::string ace = {static_cast<char>(type), 0, static_cast<char>(8 + sid.size()), 0};
  for (int i = 0; i < 4; ++i) ace += static_cast<char>(mask >> (8 * i));
  return ace + std::string(sid.begin(), sid.end());
}

std::string Acl(const std::vector<std::string>& aces) {
  std::string body;
  for (const std::string& ace : aces) body += ace;
  size_t size = 8 + body.size();
  return std::string{2, 0, static_cast<char>(size), static_cast<char>(size >> 8),
                     static_cast<char>(aces.size()), 0, 0, 0} + body;
}

TEST_F(KitFindingsTest, KitWritableByUsers) {
  const std::vector<uint8_t> authenticatedUsers = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
  const std::vector<uint8_t> users = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};
  const std::vector<uint8_t> administrators = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  const std::vector<uint8_t> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  struct Case {
    const char* name;
    std::string acl;  // empty: the system gives none
    bool writable;
  };
  for (const Case& c : std::vector<Case>{
           // A folder made at the root of C: inherits Modify for Authenticated Users.
           {"Modify", Acl({Ace(0, 0x1200A9, users), Ace(0, 0x1301BF, authenticatedUsers)}), true},
           {"CreateFilesOnly", Acl({Ace(0, 0x2, everyone)}), true},
           {"ReadOnlyForUsers", Acl({Ace(0, 0x1F01FF, administrators), Ace(0, 0x1200A9, users)}), false},
           {"Denied", Acl({Ace(1, 0x1F01FF, everyone)}), false},
           {"CutEntry", Acl({Ace(0, 0x1301BF, authenticatedUsers)}).substr(0, 14), false},
           {"NoAccessList", "", false}}) {
    ResetFake();
    SetProfileFile(kTablePath, kHead + "TOTAL_NUM=1\n1=ABC12\n");
    Maps(L"C:\\Kit\\ABC12");
    if (!c.acl.empty()) Fake().accessLists[L"C:\\Kit"] = c.acl;
    std::vector<KitFinding> findings = FindKitMistakes();
    bool writable = findings.size() == 1 && std::string(findings[0].code) == "kit-writable" &&
                    !findings[0].error;
    EXPECT_EQ(writable, c.writable) << c.name << " " << findings.size();
    EXPECT_EQ(findings.empty(), !c.writable) << c.name;
  }
}

// A kit folder so deep that a platform folder's map paths do not fit.
TEST_F(KitFindingsTest, PathTooLong) {
  std::wstring kit = L"C:\\" + std::wstring(200, L'k');
  UseKitFolder(kit.c_str());
  SetProfileFile(kit + L"\\KORVPlatformTable.ini", kHead + "TOTAL_NUM=1\n1=" + std::string(60, 'p') + "\n");
  std::vector<KitFinding> findings = FindKitMistakes();
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(std::string(findings[0].code) + ":" + std::to_string(findings[0].line), "path-too-long:5");
  UseKitFolder(L"");
}

// The example kit has no findings.
TEST_F(KitFindingsTest, ExampleKitIsClean) {
  std::ifstream file(std::string(SOURCE_DIR) + "/examples/kit/KORVPlatformTable.ini", std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  ASSERT_FALSE(bytes.str().empty());
  SetProfileFile(kTablePath, bytes.str());
  for (const wchar_t* dir : {L"C:\\Kit\\MRL01", L"C:\\Kit\\MRL02", L"C:\\Kit\\Morlane-S"}) Maps(dir);
  std::vector<KitFinding> findings = FindKitMistakes();
  EXPECT_TRUE(findings.empty()) << findings.size() << " " << (findings.empty() ? "" : findings[0].message);
}

}  // namespace
