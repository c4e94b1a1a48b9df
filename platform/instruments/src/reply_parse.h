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

// An identity reply that names `model` ("HP8593E"): the model alone, or followed by a revision
// after a separator ("HP438A,REV 2"); blanks and line ends around it allowed.
bool namesModel(std::string_view reply, std::string_view model);

}  // namespace oru::instruments
