// The manufacturing PDA listing: records 0x0900 (the set points of rows 1 to 30) and 0x0901 (the
// integrators of rows 1 to 33) as PDA text, named after the end of the adapter's MAC address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "test_data.h"

namespace kestview::mfgtest {

inline constexpr std::uint16_t kSetPointRecord = 0x0900;
inline constexpr std::uint16_t kIntegratorRecord = 0x0901;
inline constexpr int kSetPointWords = 30;
inline constexpr int kIntegratorWords = 33;

// "S" + the last six characters of the MAC address text (as the main window shows it) + ".pda":
// S-44-55.pda for 00-11-22-33-44-55.
std::string mfgListingName(const std::string& formattedMac);

// The data words of the two records: the low byte of each row's value.
std::vector<std::uint16_t> setPointWords(const TestRows& rows);
std::vector<std::uint16_t> integratorWords(const TestRows& rows);

struct ListingInputs {
    std::string serialNo;
    std::string formattedMac;
    std::string generated;  // the current date and time
    std::string fileName;   // named in the closing line
};

// The listing's text, every line ended by CR LF. Needs every row 1 to 33 (nullopt otherwise: a
// record with missing words would not load).
std::optional<std::string> buildMfgListing(const TestRows& rows, const ListingInputs& in);

// The MAC address a listing text names on its "MAC ADDRESS " line, if any.
std::optional<std::string> listingMacAddress(const std::string& listingText);

}  // namespace kestview::mfgtest
