// A full table of 33 result rows with distinct values, for the report and listing tests.
#pragma once

#include "test_data.h"

namespace kestview::mfgtest::testing {

inline TestRows sampleRows() {
    TestRows rows;
    for (int i = 1; i <= kTestRows; ++i) {
        clsTestData d;
        d.channel = std::int16_t(i <= 14 ? i : i - 16);
        d.dataTag = i <= 14 ? "US    Ch" + std::string(i < 10 ? "0" : "") + std::to_string(i) : "JPN   Ch00";
        d.outputPower = 14.5 + i / 10.0;
        d.setPoint = std::int16_t(0x40 + i);
        d.integrator = std::int16_t(0x50 + i);
        d.firstLobe = -28.4;
        d.secondLobe = -45.25;
        rows[i] = d;
    }
    return rows;
}

}  // namespace kestview::mfgtest::testing
