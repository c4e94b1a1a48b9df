#include "baseband.h"

#include <algorithm>
#include <charconv>

#include "noise.h"

namespace vireo::sim {

namespace {
constexpr std::int64_t kStatusPeriodUs = 100'000;  // status registers take a new reading every 100 ms

// Power-on values of the writable control registers.
BYTE alderDefault(unsigned n) {
    static constexpr BYTE values[32] = {0x03, 0x07, 0x00, 0x1B, 0x40, 0x10, 0x7F, 0x00, 0x20, 0x8A, 0xB3, 0x00, 0x0C,
                                        0x28, 0x02, 0x00, 0x44, 0x3C, 0x00, 0x06, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x00, 0x00, 0x13, 0x00, 0x01, 0x40};
    return values[n];
}
BYTE birchDefault(unsigned n, BasebandModel m) {
    switch (n) {
    case 1: return 0x07;
    case 3: return 0x1B;
    case 5: return m == BasebandModel::Cedar ? 0x04 : 0x00;
    case 9: return 0x8A;
    case 10: return 0xB3;
    case 11: return 0x00;
    case 14: return 0x28;
    case 16: return 0x44;
    case 20: return 0x80;
    case 31: return 0x48;  // transmit power control
    case 32: return 0x1F;
    case 40: return 0x33;
    default: return 0x00;
    }
}
}  // namespace

Baseband::Baseband(BasebandModel model, std::uint64_t seed) : model_(model), seed_(seed) { reset(); }

void Baseband::reset() {
    const unsigned count = model_ == BasebandModel::Alder ? 32 : isBirchFamily(model_) ? 64 : 0;
    control_.assign(count, 0);
    for (unsigned n = 0; n < count; ++n) control_[n] = model_ == BasebandModel::Alder ? alderDefault(n) : birchDefault(n, model_);
    if (count) control_[0] = BYTE(model_);
    for (unsigned i = 0; i < shadow_.size(); ++i) shadow_[i] = BYTE(0x10 + i * 3);
}

bool Baseband::readOnly(unsigned n) const {
    if (n == 0) return true;
    if (model_ == BasebandModel::Alder) return (n >= 24 && n <= 27) || n == 29;
    return n >= 50;
}

std::optional<unsigned> Baseband::controlAt(WORD address) const {
    const unsigned step = model_ == BasebandModel::Alder ? 4 : 2;
    if (control_.empty() || address % step != 0 || address / step >= control_.size()) return std::nullopt;
    return address / step;
}

unsigned Baseband::selectedShadow() const { return control_[kIndexRegister] & (shadow_.size() - 1); }

WORD Baseband::txPowerControl() const { return control_.size() > 31 ? control_[31] : 0; }

bool Baseband::narrowFilter() const {
    if (model_ == BasebandModel::Cedar) return control_[5] & 0x10;
    return isBirchFamily(model_) && (control_[11] & 0x20);
}

WORD Baseband::setPoint(const BasebandContext& ctx) const {
    if (!ctx.transmitting) return 0;
    // The power loop settles a little below the control setting, tilted across the band.
    const int tilt = (int(ctx.channel) - 7) / 3;
    const int v = int(txPowerControl()) - 12 + tilt + jitter(seed_ ^ 58, ctx.timeUs, kStatusPeriodUs * 5, -1, 1);
    return WORD(std::clamp(v, 0, 255));
}

WORD Baseband::controlValue(unsigned n, const BasebandContext& ctx) const {
    if (model_ == BasebandModel::Alder) {
        switch (n) {
        case 24: return WORD(jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, 0x20, 0x40));  // RSSI
        case 25: return WORD(jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, 0x10, 0x18));  // signal quality
        case 26: return WORD(jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, 0x08, 0x0C));  // noise
        case 27: return WORD(jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, 0x30, 0x38));  // gain
        case 29: return WORD(ctx.transmitting ? 0x81 : jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, 0, 3));
        default: return control_[n];
        }
    }
    if (n == 58) return setPoint(ctx);
    if (n >= 50 && n != 58) {
        const int base = ctx.transmitting ? 0x60 : 0x20;
        return WORD(jitter(seed_ ^ n, ctx.timeUs, kStatusPeriodUs, base, base + 0x0F));
    }
    return control_[n];
}

bool Baseband::read(WORD address, WORD& value, const BasebandContext& ctx) const {
    const auto n = controlAt(address);
    if (!n) return false;
    if (isBirchFamily(model_) && *n == kDataRegister) {
        value = shadow_[selectedShadow()];
        return true;
    }
    value = controlValue(*n, ctx);
    return true;
}

bool Baseband::write(WORD address, WORD value) {
    const auto n = controlAt(address);
    if (!n || readOnly(*n)) return false;
    const BYTE v = BYTE(value);
    if (isBirchFamily(model_) && *n == kDataRegister) {
        shadow_[selectedShadow()] = v;
        return true;
    }
    control_[*n] = v;
    return true;
}

std::optional<WORD> Baseband::registerValue(std::string_view name, const BasebandContext& ctx) const {
    if (name.size() < 3) return std::nullopt;
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(name.data() + 2, name.data() + name.size(), n);
    if (ec != std::errc() || end != name.data() + name.size()) return std::nullopt;
    if (name.starts_with("CR") && n < control_.size()) {
        WORD v = 0;
        read(WORD(n * (model_ == BasebandModel::Alder ? 4 : 2)), v, ctx);  // as the bus reads it
        return v;
    }
    if (name.starts_with("SR") && isBirchFamily(model_) && n < shadow_.size()) return shadow_[n];
    return std::nullopt;
}

}  // namespace vireo::sim
