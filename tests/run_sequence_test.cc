#include "driver/run_sequence.h"

#include <gtest/gtest.h>

#include "tests/smbios_fixtures.h"

namespace {

struct ArgumentsCase {
  std::vector<std::wstring> arguments;  // after the program's name
  bool runs;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) {
  for (const std::wstring& argument : c.arguments) *os << '[' << ::testing::PrintToString(argument) << ']';
}

class RunSequenceTest : public InventoryTest,
                        public ::testing::WithParamInterface<ArgumentsCase> {};

TEST_P(RunSequenceTest, OnlyTheInstallSwitchStartsARun) {
  Fake().firmware = RawSmbiosBlock(
      Join({Structure(BiosFormatted(), {"Acme", "ABC12.0105", "D"}), EndOfTable()}));
  std::vector<std::wstring> texts = {L"C:\\Kit\\ThermalMapInstaller.exe"};
  texts.insert(texts.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInstaller(argv.data()), 0);
  std::string report = ::testing::internal::GetCapturedStdout();
  if (GetParam().runs) {
    EXPECT_NE(report.find("Version: ABC12.0105\n"), std::string::npos);
    EXPECT_EQ(std::wstring(BiosVersionText), L"ABC12.0105");
  } else {
    EXPECT_EQ(report, "");
    EXPECT_TRUE(Fake().calls.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, RunSequenceTest,
    ::testing::Values(ArgumentsCase{{L"-I"}, true}, ArgumentsCase{{L"-i"}, true},
                      ArgumentsCase{{L"-I", L"-x", L"more"}, true}, ArgumentsCase{{}, false},
                      ArgumentsCase{{L""}, false}, ArgumentsCase{{L"/I"}, false},
                      ArgumentsCase{{L"I"}, false}, ArgumentsCase{{L"-"}, false},
                      ArgumentsCase{{L"-Ix"}, false}, ArgumentsCase{{L"--I"}, false},
                      ArgumentsCase{{L"\u0130"}, false}, ArgumentsCase{{L"-\u0131"}, false},
                      ArgumentsCase{{L"x", L"-I"}, false}));

TEST_F(InventoryTest, EmptyArgumentVectorDoesNothing) {
  wchar_t* argv[] = {nullptr};
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunInstaller(argv), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
