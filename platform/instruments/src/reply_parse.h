// Parsers for instrument replies, plain functions over the bytes received.
#pragma once

#include <optional>
#include <string_view>

namespace oru::instruments {

// A number in the instrument's free-field form ("+1.619E+01", "-43.21", "2412000000"), with
// surrounding blanks and line ends allowed; nothing else may follow it.
std::optional<double> parseNumber(std::string_view reply);

// A power meter reading in dBm: a number below the meter's over-range/error codes (9.0E+40 and up).
std::optional<double> parsePowerReading(std::string_view reply);

}  // namespace oru::instruments
