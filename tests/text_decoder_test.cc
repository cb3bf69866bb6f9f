#include "fleet/text_decoder.h"

#include <gtest/gtest.h>

#include "tests/smbios_fixtures.h"

namespace {

struct DecoderCase {
  const char* name;
  std::string bytes;
  std::string text;
};

void PrintTo(const DecoderCase& c, std::ostream* os) { *os << c.name; }

// The bytes decoded in pieces of `piece`, as a reader hands them over: what
// a piece leaves waits for the next.
std::string Decoded(const std::string& bytes, size_t piece) {
  TextDecoder decoder;
  std::string text;
  std::string pending;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    pending += bytes.substr(at, piece);
    pending.erase(0, decoder.Decode(pending.data(), pending.size(), false, text));
  }
  EXPECT_EQ(decoder.Decode(pending.data(), pending.size(), true, text), pending.size());
  return text;
}

class TextDecoderTest : public ::testing::TestWithParam<DecoderCase> {};

// Every piece size cuts some character: the text never depends on where.
TEST_P(TextDecoderTest, DecodesTheSameInAnyPieces) {
  const DecoderCase& c = GetParam();
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, c.bytes.size() + 1}) {
    EXPECT_EQ(Decoded(c.bytes, piece), c.text) << "pieces of " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextDecoderTest,
    ::testing::Values(
        DecoderCase{"Utf8WithMark", "\xEF\xBB\xBF" "a\xE9\x95\xBF", "a\xE9\x95\xBF"},
        DecoderCase{"Utf16LittleWithPair", std::string("\xFF\xFE" "a\0\x3D\xD8\x00\xDE", 8), "a\xF0\x9F\x98\x80"},
        DecoderCase{"Utf16BigLoneSurrogateAndOddByte", std::string("\xFE\xFF\xD8\x00\0b\x01", 7),
                    "\xEF\xBF\xBD" "b"},
        // Bytes that are no UTF-8 are Windows-1252, also a sequence cut by the end.
        DecoderCase{"Windows1252", "Caf\xE9 \x80 \xE9\x95", "Caf\xC3\xA9 \xE2\x82\xAC \xC3\xA9\xE2\x80\xA2"},
        DecoderCase{"ShorterThanAMark", "\xEF\xBB", "\xC3\xAF\xC2\xBB"}),
    CaseName());

}  // namespace
