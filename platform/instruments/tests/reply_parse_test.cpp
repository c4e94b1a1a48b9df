#include "reply_parse.h"

#include <gtest/gtest.h>

#include <optional>

using namespace oru::instruments;

TEST(ReplyParse, NumbersInFreeFieldFormOnly) {
    const struct {
        const char* reply;
        std::optional<double> value;
    } cases[] = {
        {"+1.619E+01\r\n", 16.19}, {"-43.21", -43.21}, {" 2412000000 ", 2412000000.0}, {"0", 0.0},
        {"", std::nullopt},        {"\r\n", std::nullopt}, {"+-5", std::nullopt},    {"12dBm", std::nullopt},
        {"1e999", std::nullopt},   {"nan", std::nullopt},  {"1.0\n2.0", std::nullopt}, {"\x01\xff", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseNumber(c.reply), c.value) << c.reply;
}

TEST(ReplyParse, PowerReadingRefusesTheMetersErrorCodes) {
    EXPECT_EQ(parsePowerReading("+1.619E+01"), 16.19);
    EXPECT_EQ(parsePowerReading("-7.000E+01"), -70.0);
    EXPECT_EQ(parsePowerReading("+9.000E+40"), std::nullopt);
    EXPECT_EQ(parsePowerReading("garbage"), std::nullopt);
}
