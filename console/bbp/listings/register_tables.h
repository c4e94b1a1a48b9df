// The editors' fixed tables: register descriptions, baseband control signals and the texts the
// register 49 multiplexer gives registers 51 to 57.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestview::bbp {

struct SignalBox {
    std::string_view caption;
    std::uint32_t mask;
};

extern const std::array<std::string_view, 32> kAlderDescriptions;
extern const std::array<SignalBox, 5> kAlderSignals;

extern const std::array<std::string_view, 64> kBirchDescriptions;
extern const std::array<SignalBox, 10> kBirchSignals;

// Registers 51 to 57 while bit 6 of register 49 is set (noise floor) and while it is clear.
extern const std::array<std::string_view, 7> kMuxNoiseFloorDescriptions;
extern const std::array<std::string_view, 7> kMuxReceiveDescriptions;

}  // namespace kestview::bbp
