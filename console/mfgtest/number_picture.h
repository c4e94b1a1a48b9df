// Number texts as the report's pictures lay them out, and the rounding the tuning loop uses.
#pragma once

#include <string>

namespace kestview::mfgtest {

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
long roundHalfEven(double value);

// The picture "0...0.0...0": at least `intDigits` integer digits (leading zeros shown), exactly
// `decimals` decimals, halves rounded away from zero, a leading "-" for a negative value, and the
// given decimal point: (-32.5, 2, 2) gives "-32.50", (7, 3, 0) gives "007".
std::string fixedPicture(double value, int intDigits, int decimals, char decimalPoint);

// The picture "##.##": only the digits present, up to two decimals, the decimal point always
// shown: 532.25 gives "532.25", 12.5 gives "12.5", 12 gives "12.", 0.25 gives ".25".
std::string optionalDigitsPicture(double value, char decimalPoint);

}  // namespace kestview::mfgtest
