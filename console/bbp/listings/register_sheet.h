// What a register editor shows, as the listings see it: one field per register, in register order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestview::bbp {

struct RegisterField {
    std::string tag;      // the register's Id ("CR5", "SR10")
    std::string text;     // the field's text as shown (hexadecimal)
    std::string tooltip;  // the register's description
    bool locked = false;  // a read-only register
};

// Control registers indexed by register number; shadow registers (Birch family only) likewise.
struct RegisterSheet {
    std::vector<RegisterField> control;
    std::vector<RegisterField> shadow;
};

// One register write a listing asks for, in file order.
struct RegisterWrite {
    std::string key;  // the lookup key ("CR22")
    std::uint32_t value = 0;
    bool operator==(const RegisterWrite&) const = default;
};

template <class Stream>
Stream& operator<<(Stream& out, const RegisterWrite& w) {
    out << w.key << "=" << w.value;
    return out;
}

}  // namespace kestview::bbp
