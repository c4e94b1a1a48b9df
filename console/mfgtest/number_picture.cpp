#include "number_picture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestview::mfgtest {

long roundHalfEven(double value) {
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction < 0.5) return long(down);
    if (fraction > 0.5) return long(down) + 1;
    return std::fmod(down, 2.0) == 0 ? long(down) : long(down) + 1;
}

namespace {

// |value| scaled by 10^decimals and rounded half away from zero, as decimal digits. The product is
// first cut to 12 significant digits, so 2.345 counts as the decimal 2.345 it was typed as, not as
// the binary fraction just below it.
std::string scaledDigits(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.12g", std::fabs(value) * std::pow(10.0, decimals));
    std::snprintf(text, sizeof text, "%.0f", std::floor(std::strtod(text, nullptr) + 0.5));
    return text;
}

}  // namespace

std::string fixedPicture(double value, int intDigits, int decimals, char decimalPoint) {
    std::string digits = scaledDigits(value, decimals);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (digits.size() < std::size_t(intDigits + decimals)) digits.insert(0, intDigits + decimals - digits.size(), '0');
    std::string text = (value < 0 && !zero) ? "-" : "";
    text += digits.substr(0, digits.size() - decimals);
    if (decimals > 0) text += decimalPoint + digits.substr(digits.size() - decimals);
    return text;
}

std::string optionalDigitsPicture(double value, char decimalPoint) {
    std::string digits = scaledDigits(value, 2);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - 2);
    std::string fraction = digits.substr(digits.size() - 2);
    whole.erase(0, whole.find_first_not_of('0') == std::string::npos ? whole.size() : whole.find_first_not_of('0'));
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return std::string(value < 0 && !zero ? "-" : "") + whole + decimalPoint + fraction;
}

}  // namespace kestview::mfgtest
