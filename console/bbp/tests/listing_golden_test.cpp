// Each listing, byte for byte, against one written by hand; only the generation time is masked.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "c_listing.h"
#include "ini_listing.h"
#include "listing_fixtures.h"
#include "listing_text.h"
#include "pda_listing.h"

using namespace kestview::bbp;
using namespace kestview::bbp::testing;

namespace {
std::string golden(const std::string& name) {
    std::ifstream in(std::string(BBP_GOLDEN_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The generation line keeps its words; the time after them becomes "<date>".
std::string maskDate(std::string listing, const std::string& dateText) {
    const std::string line = "GENERATED:" + dateText + "\r\n";
    const auto at = listing.find(line);
    EXPECT_NE(at, std::string::npos) << "no generation line with the time";
    if (at != std::string::npos) listing.replace(at, line.size(), "GENERATED:<date>\r\n");
    return listing;
}

struct GoldenCase {
    const char* file;
    RegisterSheet (*sheet)();
    enum Kind { Ini, C, PdaBirch, PdaCedar } kind;
    const char* name;
};
RegisterSheet birchB() { return birchSheet(false); }
RegisterSheet cedar() { return birchSheet(true); }
}  // namespace

TEST(ListingGolden, EveryKindForEveryModel) {
    const GoldenCase cases[] = {
        {"alder.ini", alderSheet, GoldenCase::Ini, "cfgalder.ini"},
        {"alder.c", alderSheet, GoldenCase::C, "cfgalder.c"},
        {"birch_b.ini", birchB, GoldenCase::Ini, "cfgbirch.ini"},
        {"birch_b.c", birchB, GoldenCase::C, "cfgbirch.c"},
        {"birch_b.pda", birchB, GoldenCase::PdaBirch, "cfgbirch.pda"},
        {"cedar.ini", cedar, GoldenCase::Ini, "cedar.ini"},
        {"cedar.c", cedar, GoldenCase::C, "cedar.c"},
        {"cedar.pda", cedar, GoldenCase::PdaCedar, "cedar.pda"},
    };
    const std::string now = localeDateTimeText(std::chrono::system_clock::now());
    for (const auto& c : cases) {
        const RegisterSheet sheet = c.sheet();
        std::string listing;
        switch (c.kind) {
        case GoldenCase::Ini: listing = iniListing(sheet, c.name, now); break;
        case GoldenCase::C: listing = cListing(sheet, c.name, now); break;
        case GoldenCase::PdaBirch: listing = pdaListing(sheet, false, c.name, now); break;
        case GoldenCase::PdaCedar: listing = pdaListing(sheet, true, c.name, now); break;
        }
        EXPECT_EQ(maskDate(listing, now), golden(c.file)) << c.file;
    }
}

TEST(ListingText, DateTimeIsTheLocalesDefaultForm) {
    std::tm tm{};
    tm.tm_year = 126, tm.tm_mon = 2, tm.tm_mday = 4, tm.tm_hour = 5, tm.tm_min = 6, tm.tm_sec = 7, tm.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    const char* saved = std::getenv("LC_ALL");
    const std::string restore = saved ? saved : "";
    for (const char* locale : {"C", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {  // the last one does not exist
        setenv("LC_ALL", locale, 1);
        EXPECT_EQ(localeDateTimeText(when), "Wed Mar  4 05:06:07 2026") << locale;
    }
    saved ? setenv("LC_ALL", restore.c_str(), 1) : unsetenv("LC_ALL");
}

// A field the PDA listing cannot take as one byte gives no line, and the record length follows.
TEST(PdaListing, UnreadableFieldsGiveNoLineAndTheLengthFollows) {
    RegisterSheet sheet = birchSheet(false);
    sheet.control[7].text = "";
    sheet.control[8].text = "1FF";
    sheet.shadow[3].text = "zz";
    const std::string listing = pdaListing(sheet, false, "x.pda", "now");
    EXPECT_NE(listing.find("\r\n0030,0202 "), std::string::npos);  // 0x32 less two words
    EXPECT_NE(listing.find("\r\n003F,0203 "), std::string::npos);  // 0x41 less one line of two
    EXPECT_EQ(listing.find(";CR7 "), std::string::npos);
    EXPECT_EQ(listing.find(";CR8 "), std::string::npos);
    EXPECT_EQ(listing.find(";SR3 "), std::string::npos);
}
