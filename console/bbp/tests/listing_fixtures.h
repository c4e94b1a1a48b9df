// Register sheets for the listing tests: an Alder, a Birch B and a Cedar editor as they show the
// registers (the texts the golden listings were written from).
#pragma once

#include <array>
#include <set>
#include <string>
#include <string_view>

#include "listing_text.h"
#include "register_sheet.h"
#include "register_tables.h"

namespace kestview::bbp::testing {

template <std::size_t N>
RegisterSheet controlSheet(const std::array<std::string_view, N>& descriptions,
                           const std::array<std::string_view, N>& texts, const std::set<unsigned>& readOnly) {
    RegisterSheet sheet;
    for (unsigned i = 0; i < N; ++i)
        sheet.control.push_back({"CR" + std::to_string(i), std::string(texts[i]), std::string(descriptions[i]),
                                 readOnly.count(i) > 0});
    return sheet;
}

inline RegisterSheet alderSheet() {
    static constexpr std::array<std::string_view, 32> texts = {
        "3", "7", "0", "1B", "40", "A", "7F", "0", "20", "8A", "B3", "0", "C", "28", "2", "0",
        "44", "3C", "0", "6", "80", "0", "0", "0", "2A", "11", "9", "31", "13", "1", "1", "40"};
    return controlSheet(kAlderDescriptions, texts, {0, 24, 25, 26, 27, 29});
}

// cedar: register 0 reads 30 and register 5 reads 4; otherwise the same values as the Birch B.
inline RegisterSheet birchSheet(bool cedar) {
    std::array<std::string_view, 64> texts;
    texts.fill("0");
    const std::pair<unsigned, std::string_view> set[] = {
        {0, cedar ? "30" : "13"}, {1, "7"}, {3, "1B"}, {5, cedar ? "4" : "0"}, {9, "8A"}, {10, "B3"}, {11, "9B"},
        {14, "28"}, {16, "44"}, {20, "80"}, {22, "20"}, {23, "10"}, {24, "5"}, {31, "48"}, {32, "1F"}, {40, "33"},
        {47, "C"}, {49, "4"}, {50, "27"}, {58, "3C"}, {61, "2F"}};
    for (const auto& [i, t] : set) texts[i] = t;
    std::set<unsigned> readOnly{0};
    for (unsigned i = 50; i < 64; ++i) readOnly.insert(i);
    RegisterSheet sheet = controlSheet(kBirchDescriptions, texts, readOnly);
    for (unsigned i = 0; i < 32; ++i) {
        const std::string text = i == 5 ? "3F" : i == 10 ? "7" : hexText(0x10 + 3 * i);
        sheet.shadow.push_back({"SR" + std::to_string(i), text, "AGC Register " + std::to_string(i), false});
    }
    return sheet;
}

}  // namespace kestview::bbp::testing
