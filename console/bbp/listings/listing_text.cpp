#include "listing_text.h"

#include <cctype>
#include <charconv>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

namespace kestview::bbp {

ListingText& ListingText::line(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
    return *this;
}

ListingText& ListingText::spacer() { return line("\r"); }

std::string hexText(std::uint32_t value) { return hexDigits(value, 1); }

std::string hexDigits(std::uint32_t value, int width) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, 16);
    std::string digits = upperCase(std::string_view(buf, std::size_t(end - buf)));
    if (int(digits.size()) < width) digits.insert(0, std::size_t(width) - digits.size(), '0');
    return digits;
}

std::string twoDigits(std::string_view text) {
    return text.size() == 1 ? std::string("0").append(text) : std::string(text);
}

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<std::uint32_t> hexValue(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::string> byteText(std::string_view text) {
    if (text.size() > 2 || !hexValue(text)) return std::nullopt;
    return twoDigits(text);
}

std::string localeDateTimeText(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    std::ostringstream out;
    try {
        out.imbue(std::locale(""));
    } catch (const std::runtime_error&) {
        // An environment naming a locale this system lacks: the classic form.
    }
    out << std::put_time(&local, "%c");
    return out.str();
}

std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

}  // namespace kestview::bbp
