// The command window's field reading and response text.
#include <gtest/gtest.h>

#include "command_fields.h"

using namespace kestview;

TEST(CommandFields, HexWordsEmptyAsZeroOthersRefused) {
    const struct {
        const char* field;
        std::optional<std::uint16_t> word;
    } cases[] = {
        {"", 0},        {"0000", 0},     {"0838", 0x0838}, {"7f", 0x7F},
        {"8000", 0x8000}, {"FFFF", 0xFFFF}, {" 12 ", 0x12},  {"000FFFF", 0xFFFF},
        {"G", std::nullopt}, {"10000", std::nullopt}, {"12 34", std::nullopt}, {"-1", std::nullopt},
        {"&h12", std::nullopt}, {"0x12", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(commandWord(c.field), c.word) << c.field;
}

TEST(CommandFields, ResponsesWithoutLeadingZeros) {
    EXPECT_EQ(responseText(0), "0");
    EXPECT_EQ(responseText(0x7F), "7F");
    EXPECT_EQ(responseText(0x0A), "A");
    EXPECT_EQ(responseText(0xFF), "FF");
}
