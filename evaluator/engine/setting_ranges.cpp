#include "setting_ranges.h"

#include <charconv>

namespace airmeter {

std::optional<int> parseInteger(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

CheckedInteger checkInteger(const IntegerSetting& setting, std::string_view text) {
    const auto value = parseInteger(text);
    if (value && *value >= setting.low && *value <= setting.high) return {value, {}};
    // Appended piece by piece: a literal in front of a string gets a false overlap warning from g++ 12.
    std::string problem(1, '\'');
    problem.append(text).append("' is not an integer from ").append(std::to_string(setting.low));
    problem.append(" to ").append(std::to_string(setting.high));
    return {std::nullopt, problem};
}

}  // namespace airmeter
