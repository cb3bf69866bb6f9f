#include "inventory/print_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

template <typename... Args>
std::string Printed(const wchar_t* format, Args... args) {
  ::testing::internal::CaptureStdout();
  PrintLine(format, args...);
  return ::testing::internal::GetCapturedStdout();
}

TEST(PrintLine, Conversions) {
  EXPECT_EQ(Printed(L"%d|%d|%d\n", 0, -1, INT_MIN), "0|-1|-2147483648\n");
  EXPECT_EQ(Printed(L"%x|%X|%x\n", 0xABCDu, 0xABCDu, 0u), "abcd|ABCD|0\n");
  EXPECT_EQ(Printed(L"[%s]\n", L"wide text"), "[wide text]\n");
  EXPECT_EQ(Printed(L"100%\n"), "100%\n");
}

TEST(PrintLine, PointerIsUpperCaseZeroPaddedToItsWidth) {
  std::string digits(2 * sizeof(void*) - 3, '0');
  EXPECT_EQ(Printed(L"%p\n", reinterpret_cast<const void*>(0xA0Bu)), digits + "A0B\n");
}

TEST(PrintLine, TextOutsidePrintableAsciiBecomesQuestionMarks) {
  EXPECT_EQ(Printed(L"%s\n", L"\u00E9\u4E2D\x1B[2J\r\x7F~ "), "???[2J??~ \n");
}

TEST(PrintLine, LongLineIsWrittenWhole) {
  std::wstring text(10000, L'x');
  EXPECT_EQ(Printed(L"Version: %s\n", text.c_str()), "Version: " + std::string(10000, 'x') + "\n");
}

}  // namespace
