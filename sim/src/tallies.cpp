#include "tallies.h"

#include <cmath>

namespace vireo::sim {

void Tallies::clear() { counts_.fill(0); }

void Tallies::add(Tally t, double amount) { counts_[std::size_t(t)] += amount; }

void Tallies::run(const Activity& a, double seconds) {
    if (seconds <= 0) return;
    if (a.transmitting) {
        // Continuous transmit keeps the air busy: about 80% of the raw rate carries frame octets.
        const double octets = a.rateMbps * 1e6 / 8 * 0.8 * seconds;
        const double frames = octets / kTestFrameOctets;
        add(Tally::txUnicast, frames);
        add(Tally::txFrags, frames);
        add(Tally::txUniOctets, octets);
    }
    if (a.receiving) {
        const double beacons = 9.765625 * a.stationsHeard * seconds;  // one per 102.4 ms each
        add(Tally::rxMulticast, beacons);
        add(Tally::rxFrags, beacons);
        add(Tally::rxMultiOctets, beacons * kBeaconOctets);
        add(Tally::rxFCSErrors, 0.5 * seconds);
        add(Tally::crcError, 0.5 * seconds);
        add(Tally::plcpCrc, 0.1 * seconds);
    }
}

TallyInfo Tallies::snapshot() const {
    TallyInfo t{};
    for (std::size_t i = 0; i < kTallyCount; ++i)
        t[i] = std::int32_t(std::uint32_t(std::uint64_t(std::floor(counts_[i]))));  // 32-bit counters wrap
    return t;
}

}  // namespace vireo::sim
