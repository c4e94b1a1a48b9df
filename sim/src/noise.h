// Deterministic variation: values that move with simulated time but are the same for the same
// inputs, so a frozen clock gives repeatable readings.
#pragma once

#include <cstdint>
#include <string_view>

namespace vireo::sim {

inline std::uint64_t mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline std::uint64_t seedOf(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : text) h = (h ^ std::uint8_t(c)) * 1099511628211ull;
    return h;
}

// An integer in [lo, hi] that takes a new value every `periodUs` microseconds of `timeUs`.
inline int jitter(std::uint64_t seed, std::int64_t timeUs, std::int64_t periodUs, int lo, int hi) {
    const auto slot = std::uint64_t(timeUs / periodUs);
    return lo + int(mix64(seed ^ mix64(slot)) % std::uint64_t(hi - lo + 1));
}

}  // namespace vireo::sim
