// The record browser's texts: descriptions, header, the nine display forms and Write Rid input.
#include <gtest/gtest.h>

#include <set>

#include "rid_lines.h"
#include "rid_names.h"
#include "rid_write.h"

using namespace kestview;

namespace {

RidReading bytesOf(std::vector<std::uint8_t> b) {
    RidReading r;
    r.bytes = std::move(b);
    return r;
}

std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t first = 0x41) {
    std::vector<std::uint8_t> b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(first + i);
    return b;
}

}  // namespace

TEST(RidNames, DescriptionsAndBracketedNumbers) {
    const struct {
        long no;
        std::optional<QString> name;
    } cases[] = {
        {0xFFFE, "Build Sequence Number"},
        {0xFC00, "Port Type"},
        {0xFD88, "Sweep Results Table"},
        {0xFFFF, "Firmware Hex FileNames"},
        {0x1234, "[1234]"},
        {0xFC20, "[FC20]"},  // between FC10 and FC23, but not tied to "Own DTIM Period"
        {0, "[0]"},
        {-1024, "[FFFFFC00]"},
        {-1025, std::nullopt},
        {0x10000, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(nameRid(c.no), c.name) << std::hex << c.no;
}

TEST(RidNames, EveryNumberedDescriptionOnceAndDtimWithoutNumber) {
    int unnumbered = 0;
    std::set<std::uint16_t> seen;
    for (const RidDescription& d : ridDescriptions()) {
        if (!d.no) {
            EXPECT_STREQ(d.text, "Own DTIM Period");
            ++unnumbered;
            continue;
        }
        EXPECT_TRUE(seen.insert(*d.no).second) << std::hex << *d.no;
        EXPECT_EQ(nameRid(*d.no), QString(d.text));
    }
    EXPECT_EQ(unnumbered, 1);
    EXPECT_EQ(seen.size(), 84u);
}

TEST(RidLines, HeaderAndRule) {
    EXPECT_EQ(ridHeaderLines(4, 0, "  Port Type "),
              QStringList({"Rid Length = 4", "Rid Type = Configuration Rid", "Rid Description = Port Type",
                           QString(55, u'_')}));
    EXPECT_EQ(ridHeaderLines(2, 1, "x")[1], "Rid Type = Information Rid");
}

TEST(RidLines, CaptionsInOptionOrder) {
    QStringList captions;
    for (int i = 0; i < kRidDisplayCount; ++i) captions << ridDisplayCaption(RidDisplay(i));
    EXPECT_EQ(captions, QStringList({"Ascii Data", "Word", "Byte", "Byte String", "Integer", "Boolean",
                                     "Integer Area", "Byte Area", "Bit Area"}));
}

TEST(RidLines, AsciiPairsSwappedLowBytesAsTilde) {
    // "Vireo" stored as the words 6956 6572 006F: each pair shows byte i+1, then byte i.
    EXPECT_EQ(ridValueLines(RidDisplay::AsciiData, bytesOf({0x69, 0x56, 0x65, 0x72, 0x00, 0x6F})),
              QStringList({" V i r e o ~"}));
    EXPECT_EQ(ridValueLines(RidDisplay::AsciiData, bytesOf({29, 30})), QStringList({QString(" ") + QChar(30) + " ~"}));
    // 20 bytes make one line and an empty remainder; 22 bytes a second line of one pair.
    const QStringList twenty = ridValueLines(RidDisplay::AsciiData, bytesOf(counting(20)));
    ASSERT_EQ(twenty.size(), 2);
    EXPECT_EQ(twenty[0], " B A D C F E H G J I L K N M P O R Q T S");
    EXPECT_EQ(twenty[1], "");
    EXPECT_EQ(ridValueLines(RidDisplay::AsciiData, bytesOf(counting(22))).value(1), " V U");
}

TEST(RidLines, WordAndByteAreaInHex) {
    EXPECT_EQ(ridValueLines(RidDisplay::Word, bytesOf({0x12, 0x34, 0x00, 0xFF, 0x0A})),
              QStringList({"1234 00FF 0A"}));
    EXPECT_EQ(ridValueLines(RidDisplay::ByteArea, bytesOf({0x12, 0x34, 0x0A})), QStringList({"12 34 0A "}));
    const QStringList words = ridValueLines(RidDisplay::Word, bytesOf(counting(24, 0)));
    EXPECT_EQ(words, QStringList({"0001 0203 0405 0607 0809 0A0B 0C0D 0E0F 1011 1213 ", "1415 1617 "}));
    EXPECT_EQ(ridValueLines(RidDisplay::ByteArea, bytesOf(counting(20, 0))).size(), 2);
}

TEST(RidLines, ByteBooleanAndBitAreaShowEveryWord) {
    const RidReading r = bytesOf({0x00, 0x07, 0x00, 0x00, 0xFF, 0x01});
    EXPECT_EQ(ridValueLines(RidDisplay::Byte, r), QStringList({"  0   7   0   0 255   1 "}));
    EXPECT_EQ(ridValueLines(RidDisplay::Boolean, r), QStringList({"True False True "}));
    EXPECT_EQ(ridValueLines(RidDisplay::BitArea, r),
              QStringList({"0000000000000111 0000000000000000 1111111100000001 "}));
    // Line lengths: 20 bytes, 10 words, 4 words.
    const RidReading big = bytesOf(std::vector<std::uint8_t>(42, 1));
    EXPECT_EQ(ridValueLines(RidDisplay::Byte, big).size(), 3);
    EXPECT_EQ(ridValueLines(RidDisplay::Boolean, big).size(), 3);
    EXPECT_EQ(ridValueLines(RidDisplay::BitArea, big).size(), 6);
    // A record without data words still ends with its (empty) remainder line.
    for (RidDisplay f : {RidDisplay::AsciiData, RidDisplay::Word, RidDisplay::Byte, RidDisplay::Boolean,
                         RidDisplay::ByteArea, RidDisplay::BitArea})
        EXPECT_EQ(ridValueLines(f, bytesOf({})), QStringList({""}));
}

TEST(RidLines, TextIntegerAndIntegerArea) {
    RidReading r;
    r.text = "VIREO STATION";
    r.integer = 42;
    r.words = {1, -2, 32767, 0, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(ridValueLines(RidDisplay::ByteString, r), QStringList({"VIREO STATION"}));
    EXPECT_EQ(ridValueLines(RidDisplay::Integer, r), QStringList({"00042"}));
    r.integer = 65535;
    EXPECT_EQ(ridValueLines(RidDisplay::Integer, r), QStringList({"65535"}));
    EXPECT_EQ(ridValueLines(RidDisplay::IntegerArea, r),
              QStringList({"00001 -00002 32767 00000 00005 00006 00007 00008 00009 00010 ", "00011 "}));
    EXPECT_EQ(ridExtraReading(RidDisplay::ByteString), RidExtraReading::Text);
    EXPECT_EQ(ridExtraReading(RidDisplay::Integer), RidExtraReading::Integer);
    EXPECT_EQ(ridExtraReading(RidDisplay::IntegerArea), RidExtraReading::Words);
    EXPECT_EQ(ridExtraReading(RidDisplay::Word), RidExtraReading::None);
}

TEST(RidWrite, HexWordsCutOrZeroExtended) {
    const struct {
        const char* input;
        long length;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"1234 00ff", 4, {0x12, 0x34, 0x00, 0xFF, 0x00, 0x00}},
        {"  1234\t  00ff  ", 4, {0x12, 0x34, 0x00, 0xFF, 0x00, 0x00}},  // runs of blanks are one gap
        {"FFFF 1 2 3", 3, {0xFF, 0xFF, 0x00, 0x01}},
        {"0000FFFF", 2, {0xFF, 0xFF}},
        {"1234", 1, {}},
    };
    for (const auto& c : cases) {
        const auto v = ridWriteValue(c.input, c.length);
        ASSERT_TRUE(v) << c.input;
        EXPECT_FALSE(v->text);
        EXPECT_EQ(v->bytes, c.bytes) << c.input;
    }
}

TEST(RidWrite, NotHexOrTooLargeIsRefused) {
    for (const char* input : {"G", "12 xy", "10000", "&h12", "-1", "12,34"})
        EXPECT_FALSE(ridWriteValue(input, 4)) << input;
    EXPECT_FALSE(parseHexWords(u"12 1FFFF"));
    EXPECT_EQ(parseHexWords(u"a BC"), std::vector<std::uint32_t>({0xA, 0xBC}));
}

TEST(RidWrite, QuotedTextWithOrWithoutClosingQuote) {
    for (const char* input : {"\"abc", "\"abc\""}) {
        const auto v = ridWriteValue(input, 17);
        ASSERT_TRUE(v && v->text) << input;
        EXPECT_EQ(*v->text, "abc");
    }
    EXPECT_EQ(ridWriteValue("\"", 17)->text, "");
    EXPECT_EQ(ridWriteValue("\"a \"b\" ", 17)->text, "a \"b\" ");
}
