// The stations the adapter can hear: what a channel sweep finds and what it can join.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "win32/basetypes.h"

namespace vireo::sim {

struct Station {
    std::array<BYTE, 6> bssid{};
    std::string ssid;
    WORD channel = 1;
    WORD signal = 0;       // on the sweep's 0..127 scale
    WORD noise = 0;        // on the sweep's 0..127 scale
    WORD beaconInterval = 100;
    WORD capability = 0x0001;
    std::array<BYTE, 10> rates{};
    WORD probeRate = 110;  // 10, 20, 55 or 110
};

// A few stations around every bench adapter, the same for the same adapter key.
std::vector<Station> stationsAround(const std::string& adapterKey);

}  // namespace vireo::sim
