#include "firmware/pda_text.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "test_support.h"

namespace {

using firmware::kPdaWords;

struct Parsed {
  std::vector<std::uint16_t> words;
  std::string output;
};

Parsed Parse(const std::string& text) {
  std::array<std::uint16_t, kPdaWords> buffer{};
  std::istringstream in(text);
  std::ostringstream out;
  const std::size_t n = firmware::ParsePdaText(in, buffer, out);
  return {std::vector<std::uint16_t>(buffer.begin(), buffer.begin() + static_cast<long>(n)), out.str()};
}

struct Case {
  const char* name;
  std::string text;
  std::vector<std::uint16_t> words;  // empty: the parse fails
  std::string output;
};

class PdaTextCases : public ::testing::TestWithParam<Case> {};

TEST_P(PdaTextCases, ParsesAsListed) {
  const Case& c = GetParam();
  const Parsed parsed = Parse(c.text);
  EXPECT_EQ(parsed.words, c.words);
  EXPECT_EQ(parsed.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Listings, PdaTextCases,
    ::testing::Values(
        Case{"CommentsAndOneRecord", "; production data\n0003,0104 ; domain\n1234 ABCD\n",
             {0x0003, 0x0104, 0x1234, 0xABCD}, ""},
        Case{"MissingDataWord", "0003,0104,1234\n", {}, "PDA format invalid. Check your file.\n"},
        Case{"PrefixedWords", "0002 0x0 0x5", {0x0002, 0x0000, 0x0005}, ""},
        Case{"PrefixLeavesThreeDigits", "0001 0x1234\n", {}, "Error on line 1: word too long.\n"},
        Case{"FiveDigits", "0001\n12345\n", {}, "Error on line 2: word too long.\n"},
        Case{"XAfterDigits", "0001 12x4\n", {}, "Error on line 1: Unknown number format!\n"},
        Case{"XWithoutWord", "0001\n x5\n", {}, "Error on line 2: Unknown number format!\n"},
        Case{"UpperCaseDigits", "0001 00C1", {0x0001, 0x00C1}, ""},
        Case{"BadCharacterInWord", "0002\n0001 12G4\n", {}, "ERROR on line 2: unrecognized character in word.\n"},
        Case{"TextLineIgnored", "PDR 2 x\n0001 0002\n", {0x0001, 0x0002}, ""},
        Case{"CommentEndsWord", "0001#c\n0002;x\n", {0x0001, 0x0002}, ""},
        Case{"CarriageReturns", "0002\r\n0104\r\n0007\r\n", {0x0002, 0x0104, 0x0007}, ""},
        Case{"TwoRecords", "0002 0001 aaaa\n0003 0101 1 2\n", {2, 1, 0xAAAA, 3, 0x101, 1, 2}, ""},
        Case{"EmptyInput", "", {}, ""},
        Case{"OnlyComments", "# nothing\n;\n", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PdaText, StopsReadingAfter512Words) {
  // One record of 511 words fills the buffer; what follows is never looked at.
  std::string text = "01ff 0100";
  for (int i = 0; i < 510; ++i) text += " 1";
  text += " zz-not-read\n";
  const Parsed parsed = Parse(text);
  ASSERT_EQ(parsed.words.size(), kPdaWords);
  EXPECT_EQ(parsed.words[0], 0x01FF);
  EXPECT_EQ(parsed.words[511], 1);
  EXPECT_EQ(parsed.output, "");
}

TEST(PdaText, ReadsFilesAndReportsMissingOnes) {
  firmware::testing::ScratchDir dir;
  std::array<std::uint16_t, kPdaWords> buffer{};
  std::ostringstream out;
  EXPECT_EQ(firmware::ParsePdaFile(dir.Write("a.pda", "0002 0900 0031\n"), buffer, out), 3u);
  EXPECT_EQ(buffer[1], 0x0900);
  EXPECT_EQ(firmware::ParsePdaFile(dir.Path("missing.pda"), buffer, out), 0u);
  EXPECT_EQ(firmware::ParsePdaFile(dir.Path(""), buffer, out), 0u);  // a folder
  EXPECT_EQ(out.str(), "file not found!\nfile not found! " + dir.Path("") + ": not a regular file\n");
}

}  // namespace
