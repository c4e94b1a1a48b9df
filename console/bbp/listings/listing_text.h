// Building blocks of the register listings: lines ending CR LF, spacer lines of a single CR,
// hexadecimal texts, and the generation time in the locale's default date-time form.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestview::bbp {

class ListingText {
public:
    ListingText& line(std::string_view text);  // text + CR LF
    ListingText& spacer();                     // a line holding one CR: CR CR LF
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

std::string hexText(std::uint32_t value);             // upper case, no leading zeros: 5, 1F, 0
std::string hexDigits(std::uint32_t value, int width);  // upper case, zero-padded to width
std::string twoDigits(std::string_view text);         // a single character gets a leading "0"
std::string upperCase(std::string_view text);
std::string_view trimmed(std::string_view text);

// The value of a text made only of 1 to 8 hexadecimal digits (either case); nullopt otherwise.
std::optional<std::uint32_t> hexValue(std::string_view text);
// A field text as one byte: one or two hexadecimal digits made two, upper case kept as typed.
std::optional<std::string> byteText(std::string_view text);

// The time in the user's locale's default date-time representation.
std::string localeDateTimeText(std::chrono::system_clock::time_point when);

// The lines of a text, split at CR, LF or CR LF; empty lines are kept (a CR CR LF spacer gives two).
std::vector<std::string_view> textLines(std::string_view text);

}  // namespace kestview::bbp
