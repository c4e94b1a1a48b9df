#include "neighbourhood.h"

#include "noise.h"

namespace vireo::sim {

std::vector<Station> stationsAround(const std::string& adapterKey) {
    const std::uint64_t seed = seedOf(adapterKey);
    auto level = [&](int salt, int lo, int hi) { return WORD(lo + mix64(seed ^ salt) % (hi - lo + 1)); };
    const std::array<BYTE, 10> allRates{0x82, 0x84, 0x0B, 0x16, 0, 0, 0, 0, 0, 0};
    const std::array<BYTE, 10> slowRates{0x82, 0x84, 0, 0, 0, 0, 0, 0, 0, 0};
    return {
        {{0x02, 0x4F, 0x52, 0x55, 0x00, 0x01}, "BENCH-AP-1", 1, level(1, 70, 100), level(2, 8, 14), 100, 0x0001,
         allRates, 110},
        {{0x02, 0x4F, 0x52, 0x55, 0x00, 0x06}, "BENCH-AP-6", 6, level(3, 40, 70), level(4, 8, 14), 100, 0x0011,
         allRates, 55},
        {{0x02, 0x4F, 0x52, 0x55, 0x00, 0x0B}, "bench ibss", 11, level(5, 20, 45), level(6, 9, 16), 200, 0x0002,
         slowRates, 20},
    };
}

}  // namespace vireo::sim
