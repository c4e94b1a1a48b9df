#include "number_picture.h"

#include <gtest/gtest.h>

namespace kestview::mfgtest {
namespace {

TEST(NumberPicture, RoundsHalvesToEven) {
    const std::pair<double, long> cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                                             {1.4, 1}, {1.6, 2},  {-3.0, -3}, {0.49999, 0}};
    for (auto [value, expected] : cases) EXPECT_EQ(roundHalfEven(value), expected) << value;
}

TEST(NumberPicture, FixedDigitsWithLocaleDecimalPoint) {
    struct Case { double value; int intDigits, decimals; char dp; const char* text; };
    const Case cases[] = {
        {-32.5, 2, 2, '.', "-32.50"}, {7, 3, 0, '.', "007"},     {-20, 3, 0, '.', "-020"},
        {255, 3, 0, '.', "255"},      {1234, 3, 0, '.', "1234"}, {5.125, 2, 2, '.', "05.13"},
        {2.345, 2, 2, ',', "02,35"},  {0, 2, 2, '.', "00.00"},   {-0.001, 2, 2, '.', "00.00"},
        {123.456, 2, 2, '.', "123.46"},
    };
    for (const auto& c : cases) EXPECT_EQ(fixedPicture(c.value, c.intDigits, c.decimals, c.dp), c.text) << c.value;
}

TEST(NumberPicture, OptionalDigitsShowOnlyWhatIsThere) {
    const std::pair<double, const char*> cases[] = {
        {532.25, "532.25"}, {12.5, "12.5"}, {12, "12."}, {0.25, ".25"}, {81.004, "81."}, {9.999, "10."}};
    for (auto [value, text] : cases) EXPECT_EQ(optionalDigitsPicture(value, '.'), text) << value;
    EXPECT_EQ(optionalDigitsPicture(3.5, ','), "3,5");
}

}  // namespace
}  // namespace kestview::mfgtest
