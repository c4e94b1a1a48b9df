#include "firmware/srec_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "firmware/srec_writer.h"
#include "test_support.h"

namespace {

using firmware::LoadedImage;
using firmware::SrecLine;
using Bytes = std::vector<std::uint8_t>;

const std::string kExec = "S9030000FC";  // execution address 0

Bytes Le32s(std::initializer_list<std::uint32_t> words) {
  Bytes b;
  for (std::uint32_t w : words) {
    for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(w >> s));
  }
  return b;
}

Bytes Le16s(std::initializer_list<std::uint16_t> words) {
  Bytes b;
  for (std::uint16_t w : words) {
    b.push_back(static_cast<std::uint8_t>(w & 0xFF));
    b.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return b;
}

std::string Info(std::initializer_list<std::uint16_t> words) { return SrecLine(3, 0xFF200000, Le16s(words)); }

class SrecReader : public ::testing::Test {
 protected:
  unsigned Load(const std::string& text) {
    image.Clear();
    out.str("");
    return firmware::LoadSrecFile(dir.Write("image.hex", text), image, out);
  }
  static std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    return text;
  }

  firmware::testing::ScratchDir dir;
  LoadedImage image;
  std::ostringstream out;
};

TEST_F(SrecReader, CountsEveryReadIncludingTheFinalOne) {
  const std::string data = SrecLine(1, 0x0000, Bytes{1, 2, 3, 4});
  EXPECT_EQ(Load(Lines({data, kExec})), 3u);
  EXPECT_EQ(Load(data + "\n" + kExec), 3u);
  EXPECT_EQ(Load(Lines({data, "", kExec, ""})), 5u);            // blank lines count
  EXPECT_EQ(Load(data + "\r\n\r\n" + kExec + "\r\n"), 4u);       // CR LF line ends
  EXPECT_EQ(image.image.Read(0, 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Load(kExec + std::string(65535, '\n')), 65536u);  // blank lines past 16 bits still count
}

TEST_F(SrecReader, AcceptsLowerCaseDigitsAndInfoRecords) {
  std::string data = SrecLine(2, 0x012345, Bytes{0xAB, 0xCD});
  for (std::size_t i = 1; i < data.size(); ++i) data[i] = static_cast<char>(std::tolower(data[i]));
  EXPECT_EQ(Load(Lines({"S00600004844521B", data, SrecLine(5, 0x0001, {}), "S804000000FB"})), 5u);
  EXPECT_EQ(image.image.Read(0x012345, 2), (Bytes{0xAB, 0xCD}));
  EXPECT_EQ(out.str(), "Info records ignored.\nInfo records ignored.\n");
}

struct BadLine {
  const char* name;
  std::string line;
  std::string message;  // "{n}" stands for the line number
  bool hexLineNumber = false;
  unsigned extraLines = 0;  // the rejected record stands this many lines further on
};

std::string Expected(const BadLine& c, unsigned line) {
  std::ostringstream n;
  if (c.hexLineNumber) n << std::hex;
  n << line;
  std::string text = c.message;
  text.replace(text.find("{n}"), 3, n.str());
  return text;
}

class SrecBadLines : public SrecReader, public ::testing::WithParamInterface<BadLine> {};

TEST_P(SrecBadLines, EndTheLoadWithTheirMessage) {
  const BadLine& c = GetParam();
  const std::string good = SrecLine(1, 0x0000, Bytes{1, 2});
  EXPECT_EQ(Load(good + "\n" + c.line + "\n" + kExec + "\n"), 0u);
  EXPECT_EQ(out.str(), Expected(c, 2 + c.extraLines));
  EXPECT_EQ(image.image.Read(0, 2), (Bytes{1, 2}));  // what came before the bad line stays
  // At line 26 the number base shows: 26 or 1a.
  EXPECT_EQ(Load(good + std::string(25, '\n') + c.line + "\n" + kExec + "\n"), 0u);
  EXPECT_EQ(out.str(), Expected(c, 26 + c.extraLines));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SrecBadLines,
    ::testing::Values(
        BadLine{"BadCharacter", "S1050000010G00", "Error (line {n})  - Bad character found. Cannot process file.\n"},
        BadLine{"LowerCaseS", "s1050000010200", "Error: Line {n}: record does not begin with 'S'\n", true},
        BadLine{"TypeFour", "S4030000FC", "ERROR: Line {n}: record type invalid or unsupported.\n"},
        BadLine{"TypeSix", "S6030000FC", "ERROR: Line {n}: record type invalid or unsupported.\n"},
        BadLine{"CountMismatch", "S106000001FF", "ERROR: Line {n}: line length invalid.\n"},
        BadLine{"ExecutionWithData", "S9040000AAFB", "ERROR: Line {n}: line length invalid.\n"},
        BadLine{"DataTooShort", "S2030000FC", "ERROR: Line {n}: line length invalid.\n"},
        BadLine{"TooShortForAType", "S", "ERROR: Line {n}: line length invalid.\n"},
        BadLine{"TypeWithoutCount", "S4", "ERROR: Line {n}: record type invalid or unsupported.\n"},
        BadLine{"DataWithoutCount", "S1F", "ERROR: Line {n}: line length invalid.\n"},
        BadLine{"Checksum", "S1050010AABB00", "ERROR: Line {n}: Checksum failed.\n"},
        BadLine{"SecondExecution", "S9030000FC\nS9030000FC", "ERROR: Line {n}: 2nd execution address found!\n", false, 1},
        BadLine{"UnknownSpecial", SrecLine(3, 0xFF300000, Bytes(12, 0)), "Line {n}: Unknown record\n", true},
        BadLine{"SpecialBelowPlugs", SrecLine(2, 0xF00000, Bytes{1}), "Line {n}: Unknown record\n", true},
        BadLine{"InfoSizeMismatch", Info({3, 1, 21, 0, 1}), "Line {n}: Record length does not correspond to size field.\n", true},
        BadLine{"InfoTooLong", SrecLine(3, 0xFF200000, Le16s({21, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
                "Line {n}: Record length too long.\n", true},
        BadLine{"VersionWrongSize", Info({4, 1, 21, 0, 1}), "Line {n}: Invalid record format. \n", true},
        BadLine{"CompatibilityIfid5", Info({6, 2, 1, 5, 0, 1, 2}), "Line {n}: Invalid record format. \n", true},
        BadLine{"CompatibilityWithoutFields", Info({1, 2}), "Line {n}: Invalid record format. \n", true},
        BadLine{"PlatformWrongSize", Info({6, 4, 1, 0, 1, 2, 3}), "Line {n}: Invalid record format. \n", true},
        BadLine{"ShortPlugRecord", SrecLine(3, 0xFF000000, Bytes(8, 0)), "Line {n}: Invalid record format. \n", true},
        BadLine{"EmptyDataRecord", "S1030010EC",
                "ERROR: Line {n}: Memory allocation error. Cannot continue (data record holds no data).\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SrecReader, ReportsMissingFilesAndMissingExecutionAddress) {
  out.str("");
  EXPECT_EQ(firmware::LoadSrecFile(dir.Path("none.hex"), image, out), 0u);
  EXPECT_EQ(out.str(), "File not found. ");
  out.str("");
  EXPECT_EQ(firmware::LoadSrecFile(dir.Path(""), image, out), 0u);  // a folder
  EXPECT_EQ(out.str(), "File not found. " + dir.Path("") + ": not a regular file\n");
  EXPECT_EQ(Load(Lines({SrecLine(1, 0, Bytes{1})})), 0u);
  EXPECT_EQ(out.str(), "Error: Line 2: End reached without an execution address record.\n");
}

TEST_F(SrecReader, PlugRecordsAreSortedAndReplacedByAddress) {
  EXPECT_EQ(Load(Lines({SrecLine(3, 0xFF000000, Le32s({0x0300, 0x2000, 28})),
                        SrecLine(3, 0xFF000000, Le32s({0x0103, 0x1000, 12})),
                        SrecLine(3, 0xFF000000, Le32s({0x0301, 0x2000, 0x10022})), kExec})),
            5u);
  ASSERT_EQ(image.plugs.size(), 2u);
  auto it = image.plugs.begin();
  EXPECT_EQ(it->second.code, 0x0103u);
  ++it;
  EXPECT_EQ(it->second.code, 0x0301u);
  EXPECT_EQ(it->second.address, 0x2000u);
  EXPECT_EQ(it->second.length, 0x22);
}

TEST_F(SrecReader, CrcRecordsPlaceTheMarkerInsideOrAfterTheData) {
  const std::string data = SrecLine(1, 0x0100, Bytes(16, 0));
  EXPECT_NE(Load(Lines({data, SrecLine(3, 0xFF100000, Le32s({0x108, 0, 0})), kExec})), 0u);
  EXPECT_EQ(image.image.Read(0x100, 16), Bytes(16, 0));
  EXPECT_EQ(image.image.segments().size(), 1u);
  EXPECT_NE(Load(Lines({data, SrecLine(3, 0xFF100000, Le32s({0x108, 0, 1})), kExec})), 0u);
  EXPECT_EQ(image.image.Read(0x105, 4), (Bytes{0, 0xDE, 0xC0, 0}));
  EXPECT_NE(Load(Lines({data, SrecLine(3, 0xFF100000, Le32s({0x402, 0, 7})), kExec})), 0u);
  ASSERT_EQ(image.image.segments().size(), 2u);
  EXPECT_EQ(image.image.segments()[1].address, 0x400u);
  EXPECT_EQ(image.image.Read(0x400, 2), (Bytes{0xDE, 0xC0}));
}

TEST_F(SrecReader, InfoRecordsFillTheFirmwareInfo) {
  std::vector<std::string> lines{Info({5, 1, 21, 2, 1, 3}), Info({5, 1, 31, 4, 5, 6}), Info({5, 1, 40, 9, 9, 9}),
                                 Info({6, 2, 7, 4, 1, 2, 3}), Info({2, 3, 0x1a2b}), Info({4, 9, 0xBEEF, 0x12, 7})};
  for (std::uint16_t p = 1; p <= 51; ++p) lines.push_back(Info({5, 4, p, 0, 1, 2}));
  lines.push_back(kExec);
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  EXPECT_EQ(Load(text), lines.size() + 1);
  const auto& info = image.info;
  EXPECT_TRUE(info.versionA.valid);
  EXPECT_EQ(info.versionA.type, 21);
  EXPECT_EQ(info.versionA.variant, 2);
  EXPECT_EQ(info.versionA.major, 1);
  EXPECT_EQ(info.versionA.minor, 3);
  EXPECT_EQ(info.versionB.major, 5);
  EXPECT_TRUE(info.compatibility[4].valid);
  EXPECT_EQ(info.compatibility[4].top, 3);
  EXPECT_FALSE(info.compatibility[0].valid);
  EXPECT_EQ(info.buildSequence, 0x1a2b);
  EXPECT_EQ(info.platforms[0].platformId, 1);
  EXPECT_EQ(info.platforms[48].platformId, 49);
  EXPECT_EQ(info.platforms[49].platformId, 51);
  EXPECT_EQ(out.str(), "Build sequence: 1a2b\nUnknown firmware info record - size: 4, type: 9; Data:  beef 12 7 \n");
}

TEST_F(SrecReader, LongLinesArriveInPiecesOf519Characters) {
  // The first piece of a long line is judged on its own: its length, not the bad character
  // that follows in the second piece.
  const std::string piece = "S1" + std::string(517, '0');
  EXPECT_EQ(Load(piece + "GG\n"), 0u);
  EXPECT_EQ(out.str(), "ERROR: Line 1: line length invalid.\n");
}

TEST_F(SrecReader, StopsAfterLine32000) {
  std::string text;
  for (std::uint32_t i = 0; i < 32005; ++i) text += SrecLine(3, i * 4, Bytes{1, 2, 3, 4}) + "\n";
  EXPECT_EQ(Load(kExec + "\n" + text), 32001u);
  EXPECT_EQ(image.image.storedBytes(), 32000u * 4);
}

TEST_F(SrecReader, RefusesAnImageOverItsSizeAndA256thSegment) {
  std::string big;
  for (std::uint32_t i = 0; i < 900; ++i) big += SrecLine(3, i * 250, Bytes(250, 0x33)) + "\n";
  EXPECT_EQ(Load(big + kExec + "\n"), 0u);
  EXPECT_EQ(out.str(), "ERROR: Line 821: Memory allocation error. Cannot continue (image larger than 204800 bytes).\n");
  std::string scattered;
  for (std::uint32_t i = 0; i < 256; ++i) scattered += SrecLine(1, i * 8, Bytes{1}) + "\n";
  EXPECT_EQ(Load(scattered + kExec + "\n"), 0u);
  EXPECT_EQ(out.str(), "ERROR: Line 256: Memory allocation error. Cannot continue (more than 255 segments).\n");
}

}  // namespace
