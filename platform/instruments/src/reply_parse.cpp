#include "reply_parse.h"

#include <charconv>
#include <cmath>
#include <string>

namespace oru::instruments {

namespace {
std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}
}  // namespace

std::optional<double> parseNumber(std::string_view reply) {
    std::string_view s = trim(reply);
    if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
    if (s.empty() || s.size() > 64) return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> parsePowerReading(std::string_view reply) {
    const auto v = parseNumber(reply);
    if (!v || std::fabs(*v) >= 9.0e40) return std::nullopt;
    return v;
}

bool namesModel(std::string_view reply, std::string_view model) {
    const std::string_view s = trim(reply);
    if (s.substr(0, model.size()) != model) return false;
    return s.size() == model.size() || s[model.size()] == ',' || s[model.size()] == ' ';
}

}  // namespace oru::instruments
