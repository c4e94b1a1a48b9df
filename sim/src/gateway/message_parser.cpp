#include "message_parser.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vireo::sim::gateway {

namespace {
char upper(char c) { return char(std::toupper(static_cast<unsigned char>(c))); }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}
}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

std::vector<std::string> splitMessage(std::string_view message, std::string_view separators) {
    std::vector<std::string> units;
    std::string current;
    bool inTitle = false;
    auto flush = [&] {
        const std::string_view t = trim(current);
        if (!t.empty()) units.emplace_back(t);
        current.clear();
    };
    for (char c : message) {
        if (c == '@') inTitle = !inTitle;
        if (!inTitle && (c == '\n' || separators.find(c) != std::string_view::npos)) {
            flush();
            continue;
        }
        current += c;
    }
    flush();
    return units;
}

std::optional<std::string> matchPattern(std::string_view pattern, std::string_view unit) {
    const auto field = pattern.find("{}");
    if (field == std::string_view::npos) return std::nullopt;
    std::string_view prefix = pattern.substr(0, field);
    const std::string_view suffix = pattern.substr(field + 2);
    while (!prefix.empty() && blank(prefix.back())) prefix.remove_suffix(1);
    if (unit.size() < prefix.size() + suffix.size()) return std::nullopt;
    if (!equalsIgnoringCase(unit.substr(0, prefix.size()), prefix)) return std::nullopt;
    if (!equalsIgnoringCase(unit.substr(unit.size() - suffix.size()), suffix)) return std::nullopt;
    std::string_view value = unit.substr(prefix.size(), unit.size() - prefix.size() - suffix.size());
    // A letter right after a word-like prefix would make another command ("CFX" is not "CF X").
    const bool hadBlank = !value.empty() && blank(value.front());
    value = trim(value);
    if (value.empty()) return std::nullopt;
    if (!hadBlank && !prefix.empty() && std::isalpha(static_cast<unsigned char>(prefix.back())) &&
        std::isalpha(static_cast<unsigned char>(value.front())) && suffix.empty()) {
        // "MKPK HI" style words need the blank; numbers may follow directly ("CF2412MZ").
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<double> parseQuantity(std::string_view text, const std::map<std::string, double>& units) {
    text = trim(text);
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::size_t end = 0;
    // Sign, digits, point, exponent.
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    bool digits = false;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end, digits = true;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end, digits = true;
    }
    if (!digits) return std::nullopt;
    if (end + 1 < text.size() && (text[end] == 'e' || text[end] == 'E') &&
        (std::isdigit(static_cast<unsigned char>(text[end + 1])) ||
         ((text[end + 1] == '+' || text[end + 1] == '-') && end + 2 < text.size() &&
          std::isdigit(static_cast<unsigned char>(text[end + 2]))))) {
        end += 2;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    }
    const std::string number(text.substr(0, end));
    char* stop = nullptr;
    const double v = std::strtod(number.c_str(), &stop);
    if (stop != number.c_str() + number.size() || !std::isfinite(v)) return std::nullopt;
    const std::string_view suffix = trim(text.substr(end));
    if (suffix.empty()) return v;
    for (const auto& [name, factor] : units)
        if (equalsIgnoringCase(name, suffix)) return v * factor;
    return std::nullopt;
}

namespace {
// The field "{...}" of a pattern: its position, length and printf conversion.
struct Field {
    std::size_t at = std::string_view::npos, length = 0;
    std::string conversion;
};

Field findField(std::string_view pattern, bool text) {
    Field f;
    const auto open = pattern.find('{');
    const auto close = open == std::string_view::npos ? open : pattern.find('}', open);
    if (close == std::string_view::npos) return f;
    f.at = open;
    f.length = close - open + 1;
    const std::string_view spec = pattern.substr(open + 1, close - open - 1);
    if (text) {
        f.conversion = "%s";
    } else if (spec.empty()) {
        f.conversion = "%g";
    } else if (spec == ":d") {
        f.conversion = "%.0f";
    } else if (spec.size() >= 4 && spec.size() <= 6 && spec[0] == ':') {
        std::string_view s = spec.substr(1);
        std::string c = "%";
        if (s.front() == '+') c += '+', s.remove_prefix(1);
        if (s.size() >= 3 && s[0] == '.' && std::isdigit(static_cast<unsigned char>(s[1])) &&
            (s.back() == 'f' || s.back() == 'E' || s.back() == 'e'))
            c += std::string(s);
        else
            c = "%g";
        f.conversion = c;
    } else {
        f.conversion = "%g";
    }
    return f;
}
}  // namespace

std::string formatNumber(std::string_view pattern, double value) {
    const Field f = findField(pattern, false);
    if (f.at == std::string_view::npos) return std::string(pattern);
    char buf[64];
    std::snprintf(buf, sizeof buf, f.conversion.c_str(), value);
    std::string out(pattern.substr(0, f.at));
    out += buf;
    out += pattern.substr(f.at + f.length);
    return out;
}

std::string formatText(std::string_view pattern, std::string_view value) {
    const Field f = findField(pattern, true);
    if (f.at == std::string_view::npos) return std::string(pattern);
    std::string out(pattern.substr(0, f.at));
    out += value;
    out += pattern.substr(f.at + f.length);
    return out;
}

}  // namespace vireo::sim::gateway
