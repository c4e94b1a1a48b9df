// The baseband processor's register file as the controller's register commands reach it: bus
// address n*4 (Alder) or n*2 (Birch family) for control register n; on the Birch family the shadow
// registers through the index register (0x2C) and the data register (0x2E). The low five bits of
// the index register select the shadow register; its upper bits, 0x20 among them, are control bits
// that are kept as written and do not change which shadow register the data register reaches, so
// an index written as n or as n + 0x20 selects the same entry.
// Registers are 8 bits wide; a write keeps the low byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

// What the read-only status registers follow.
struct BasebandContext {
    std::int64_t timeUs = 0;
    bool transmitting = false;
    WORD channel = 1;
};

class Baseband {
public:
    Baseband(BasebandModel model, std::uint64_t seed);

    BasebandModel model() const { return model_; }
    void reset();  // power-on values

    // false: no such register (or a read-only one for write).
    bool read(WORD address, WORD& value, const BasebandContext& ctx) const;
    bool write(WORD address, WORD value);

    // Inspection by name ("CR31", "SR3"), as the register reads now.
    std::optional<WORD> registerValue(std::string_view name, const BasebandContext& ctx) const;
    std::size_t controlCount() const { return control_.size(); }
    bool readOnly(unsigned n) const;

    // The transmit power control setting and the set point it gives while transmitting.
    WORD txPowerControl() const;
    WORD setPoint(const BasebandContext& ctx) const;
    // The filter register bit that narrows the transmit spectrum (CR5 bit 4 on Cedar, else CR11 bit 5).
    bool narrowFilter() const;

private:
    static constexpr unsigned kIndexRegister = 22;  // bus address 0x2C
    static constexpr unsigned kDataRegister = 23;   // bus address 0x2E
    std::optional<unsigned> controlAt(WORD address) const;
    WORD controlValue(unsigned n, const BasebandContext& ctx) const;
    unsigned selectedShadow() const;

    BasebandModel model_;
    std::uint64_t seed_;
    std::vector<BYTE> control_;
    std::array<BYTE, 32> shadow_{};
};

}  // namespace vireo::sim
