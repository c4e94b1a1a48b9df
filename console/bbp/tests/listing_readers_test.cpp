// The listing readers: what each asks to write, in file order, and what it ignores.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "c_listing.h"
#include "ini_listing.h"
#include "listing_fixtures.h"

using namespace kestview::bbp;
using namespace kestview::bbp::testing;

namespace {
// The writes a sheet's listing should give back: unlocked control registers, then index and data
// per shadow register (index as listed: plain in the INI listing, with 0x20 in the 'C' listing).
std::vector<RegisterWrite> expectedWrites(const RegisterSheet& sheet, std::uint32_t indexOffset) {
    std::vector<RegisterWrite> writes;
    for (const auto& f : sheet.control)
        if (!f.locked) writes.push_back({f.tag, *hexValue(f.text)});
    for (std::uint32_t i = 0; i < sheet.shadow.size(); ++i) {
        writes.push_back({"CR22", i + indexOffset});
        writes.push_back({"CR23", *hexValue(sheet.shadow[i].text)});
    }
    return writes;
}
}  // namespace

TEST(ListingReaders, ReadBackWhatTheWritersListInFileOrder) {
    for (const RegisterSheet& sheet : {alderSheet(), birchSheet(false), birchSheet(true)}) {
        EXPECT_EQ(readIniListing(iniListing(sheet, "a,b.ini", "Thu, 10 Dec 2026")), expectedWrites(sheet, 0));
        EXPECT_EQ(readCListing(cListing(sheet, "a.c", "now")), expectedWrites(sheet, 0x20));
    }
    const auto writes = readIniListing(iniListing(birchSheet(false), "x.ini", "now"));
    const RegisterWrite shadow10[] = {{"CR22", 0x0A}, {"CR23", 0x07}};
    EXPECT_NE(std::search(writes.begin(), writes.end(), std::begin(shadow10), std::end(shadow10)), writes.end());
}

TEST(ListingReaders, IniFieldsThatAreNotRegisterLinesAreIgnored) {
    const std::string text =
        "# header, CR9 = 11\r\n"                  // a field after a comma counts on its own
        "CR1  = 5     #  one digit, CR2 = 3F\r\n"
        "CR3 = zz     #  not hexadecimal\r\n"
        "CR4  0A     #  no equals sign\r\n"
        "cr5  = 0A\r\n"                            // register lines start with upper-case CR
        "CR6  =\r\n"
        "   CR7  = 1FF\n"                          // leading blanks skipped; two characters read
        "CR8=44\r";                                // a key runs to the first blank
    const std::vector<RegisterWrite> expected = {{"CR9", 0x11}, {"CR1", 5}, {"CR2", 0x3F}, {"CR7", 0x1F}, {"CR8=44", 0x44}};
    EXPECT_EQ(readIniListing(text), expected);
}

TEST(ListingReaders, CLinesLoseTheirFirstCharacterBeforeTheTest) {
    const std::string text =
        "ini_set( 1, 0x5 , 0xff);\r\n"         // "ni_set": not read
        "\tini_set(  2, 0x1b , 0xff);\r\n"
        "          /* CR3 = 0x4 # comment */\r\n"
        "          ini_set( 4, 0xzz , 0xff);\r\n"
        "          ini_set( 5 0x6 , 0xff);\r\n"  // the number runs to the first comma
        "          ini_set( 22, 0x3F, 0xff);\r\r\n"
        " ini_set(23,0x7,0xff);";
    const std::vector<RegisterWrite> expected = {{"CR2", 0x1B}, {"CR5 0x6", 6}, {"CR22", 0x3F}, {"CR23", 7}};
    EXPECT_EQ(readCListing(text), expected);
}

TEST(ListingReaders, EachReaderIgnoresTheOtherKind) {
    const RegisterSheet sheet = birchSheet(false);
    EXPECT_TRUE(readCListing(iniListing(sheet, "x.c.ini", "now")).empty());
    EXPECT_TRUE(readIniListing(cListing(sheet, "x.c.ini", "now")).empty());
}
