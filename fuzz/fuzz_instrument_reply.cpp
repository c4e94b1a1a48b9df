// The instrument drivers' reply parsers: a number in the instruments' free-field form and a power
// meter reading. What they accept is a finite number that reads back the same when written out.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "reply_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const auto number = oru::instruments::parseNumber(reply);
    const auto power = oru::instruments::parsePowerReading(reply);
    if (number) {
        if (!std::isfinite(*number)) std::abort();
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", *number);
        const auto again = oru::instruments::parseNumber(text);
        if (!again || *again != *number) std::abort();
    }
    // A power reading is a number below the meter's over-range codes, and only that.
    if (power.has_value() != (number && std::fabs(*number) < 9.0e40)) std::abort();
    if (power && *power != *number) std::abort();
    return 0;
}
