#include "mfg_listing.h"

#include <array>
#include <sstream>

#include <gtest/gtest.h>

#include "firmware/pda_text.h"
#include "firmware/pdr_list.h"
#include "test_rows.h"

namespace kestview::mfgtest {
namespace {

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    EXPECT_EQ(at, text.size()) << "every line ends in CR LF";
    return lines;
}

TEST(MfgListing, NameFromTheEndOfTheMac) {
    EXPECT_EQ(mfgListingName("00-11-22-33-44-55"), "S-44-55.pda");
    EXPECT_EQ(mfgListingName("00-60-1D-C3-00-03"), "S-00-03.pda");
}

TEST(MfgListing, LayoutTokensAndNegativeLowByte) {
    auto rows = testing::sampleRows();
    rows[33]->integrator = -20;
    const auto text = buildMfgListing(rows, {"99VC00030003", "00-11-22-33-44-55", "12/10/2026 13:05", "S-44-55.pda"});
    ASSERT_TRUE(text);
    const auto lines = splitCrLf(*text);
    const std::vector<std::string> expected = {
        "MARAVENT NIC ADAPTER 99VC00030003",
        "MAC ADDRESS 00-11-22-33-44-55",
        "; PDR(900) Birch Manufacturing Test Channel Set Points ",
        "\r",
        "001f,0900     ;(PDR-length), (PDR-code)",
        "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 ",
        "51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E ",
        "\r",
        "\r",
        "; PDR(901) Manufacturing Test Channel Integrators ",
        "\r",
        "0022,0901     ;(PDR-length), (PDR-code)",
        "51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F 60 ",
        "61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 ",
        "EC ",
        "\r",
        "; GENERATED:12/10/2026 13:05",
        "\r",
        ";END OF PDA LISTING S-44-55.PDA",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(listingMacAddress(*text), "00-11-22-33-44-55");
}

TEST(MfgListing, ParsesIntoTheTwoRecords) {
    auto rows = testing::sampleRows();
    rows[31]->integrator = -20;
    std::istringstream in(*buildMfgListing(rows, {"S", "00-11-22-33-44-55", "now", "S-44-55.pda"}));
    std::array<std::uint16_t, firmware::kPdaWords> words{};
    std::ostringstream diagnostics;
    const auto n = firmware::ParsePdaText(in, words, diagnostics);
    ASSERT_EQ(n, 32u + 35u) << diagnostics.str();
    firmware::PdrList list;
    list.LoadWords(std::span(words.data(), n));
    const auto* sp = list.Find(kSetPointRecord);
    const auto* in1 = list.Find(kIntegratorRecord);
    ASSERT_TRUE(sp && in1);
    EXPECT_EQ(sp->length(), 31);
    EXPECT_EQ(in1->length(), 34);
    for (int i = 1; i <= 30; ++i) EXPECT_EQ(sp->data()[i - 1], rows[i]->setPoint & 0xFF);
    for (int i = 1; i <= 33; ++i) EXPECT_EQ(in1->data()[i - 1], rows[i]->integrator & 0xFF);
    EXPECT_EQ(in1->data()[30], 0xEC);
}

TEST(MfgListing, IncompleteRowsGiveNoListing) {
    auto rows = testing::sampleRows();
    rows[20].reset();
    EXPECT_FALSE(buildMfgListing(rows, {}));
    EXPECT_FALSE(listingMacAddress("no mac here\r\n"));
}

}  // namespace
}  // namespace kestview::mfgtest
