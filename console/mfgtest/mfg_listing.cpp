#include "mfg_listing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace kestview::mfgtest {

namespace {

constexpr const char* kEol = "\r\n";
constexpr const char* kSpacer = "\r\r\n";  // a line holding one carriage return

std::string hexByte(unsigned value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// Tokens "XX " of the words' low bytes, a line after every 16th and one for the rest.
void writeTokens(std::string& out, const std::vector<std::uint16_t>& words) {
    std::string line;
    for (std::size_t i = 1; i <= words.size(); ++i) {
        line += hexByte(words[i - 1]) + " ";
        if (i % 16 == 0) {
            out += line + kEol;
            line.clear();
        }
    }
    if (!line.empty()) out += line + kEol;
}

template <class Field>
std::vector<std::uint16_t> lowBytes(const TestRows& rows, int count, Field field) {
    std::vector<std::uint16_t> words;
    for (int i = 1; i <= count; ++i)
        if (rows[i]) words.push_back(std::uint16_t(std::uint16_t(field(*rows[i])) & 0xFF));
    return words;
}

}  // namespace

std::string mfgListingName(const std::string& formattedMac) {
    return std::string("S").append(formattedMac, formattedMac.size() > 6 ? formattedMac.size() - 6 : 0).append(".pda");
}

std::vector<std::uint16_t> setPointWords(const TestRows& rows) {
    return lowBytes(rows, kSetPointWords, [](const clsTestData& r) { return r.setPoint; });
}

std::vector<std::uint16_t> integratorWords(const TestRows& rows) {
    return lowBytes(rows, kIntegratorWords, [](const clsTestData& r) { return r.integrator; });
}

std::optional<std::string> buildMfgListing(const TestRows& rows, const ListingInputs& in) {
    if (!complete(rows)) return std::nullopt;
    std::string upperName = in.fileName;
    std::transform(upperName.begin(), upperName.end(), upperName.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    std::string out;
    out += "MARAVENT NIC ADAPTER " + in.serialNo + kEol;
    out += "MAC ADDRESS " + in.formattedMac + kEol;
    out += std::string("; PDR(900) Birch Manufacturing Test Channel Set Points ") + kEol;
    out += kSpacer;
    out += std::string("001f,0900     ;(PDR-length), (PDR-code)") + kEol;
    writeTokens(out, setPointWords(rows));
    out += kSpacer;
    out += kSpacer;
    out += std::string("; PDR(901) Manufacturing Test Channel Integrators ") + kEol;
    out += kSpacer;
    out += std::string("0022,0901     ;(PDR-length), (PDR-code)") + kEol;
    writeTokens(out, integratorWords(rows));
    out += kSpacer;
    out += "; GENERATED:" + in.generated + kEol;
    out += kSpacer;
    out += ";END OF PDA LISTING " + upperName + kEol;
    return out;
}

std::optional<std::string> listingMacAddress(const std::string& listingText) {
    std::istringstream in(listingText);
    std::string line;
    const std::string prefix = "MAC ADDRESS ";
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
    return std::nullopt;
}

}  // namespace kestview::mfgtest
