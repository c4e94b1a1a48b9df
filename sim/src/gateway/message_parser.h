// The simulated instruments' command parser: plain functions over the bytes an instrument receives.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim::gateway {

// The message units of one bus message: split at any of `separators` and at line ends, blanks
// trimmed, empty units dropped. Text between '@' delimiters (a title) is kept whole.
std::vector<std::string> splitMessage(std::string_view message, std::string_view separators);

// The value text when `unit` matches `pattern` (literal text around one "{}"; letters compare
// without regard to case and blanks before the value are optional), else nullopt.
std::optional<std::string> matchPattern(std::string_view pattern, std::string_view unit);

// "2412MZ", "-25DM", "1e6", "0.1 SC": the number times its unit's factor. A bare number is in the
// base unit. nullopt for anything else (an unknown unit included).
std::optional<double> parseQuantity(std::string_view text, const std::map<std::string, double>& units);

// Formats `value` into `pattern`'s "{...}" field: {} {:d} {:.Nf} {:+.Nf} {:.NE} {:+.NE}.
std::string formatNumber(std::string_view pattern, double value);
std::string formatText(std::string_view pattern, std::string_view value);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vireo::sim::gateway
