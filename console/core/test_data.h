// One result row of the manufacturing test's spectral-mask test, and the console's table of them
// (Console::TestData).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestview {

struct clsTestData {
    std::string dataTag;       // the row label, "US    Ch05"
    std::int16_t channel = 0;
    double outputPower = 0;    // dBm
    std::int16_t setPoint = 0;     // CR58
    std::int16_t integrator = 0;   // CR31
    double firstLobe = 0;      // dB relative to the carrier
    double secondLobe = 0;     // dB relative to the carrier
};

// Rows 1 to 33 of a transmit test; element 0 is not used. A row the test did not reach is empty.
inline constexpr int kTestRows = 33;
using TestRows = std::array<std::optional<clsTestData>, kTestRows + 1>;

// Copies all seven fields.
inline void CopyTestData(const clsTestData& source, clsTestData& target) { target = source; }

// True when every row 1 to 33 is present.
inline bool complete(const TestRows& rows) {
    for (int i = 1; i <= kTestRows; ++i)
        if (!rows[i]) return false;
    return true;
}

}  // namespace kestview
