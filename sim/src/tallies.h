// The adapter's statistics counters (TALLY_INFO: 44 signed 32-bit counters), counting what the
// adapter does as simulated time passes.
#pragma once

#include <array>
#include <cstdint>

#include "win32/basetypes.h"

namespace vireo::sim {

constexpr std::size_t kTallyCount = 44;
using TallyInfo = std::array<std::int32_t, kTallyCount>;

enum class Tally : std::size_t {
    txUnicast, txMulticast, txFrags, txUniOctets, txMultiOctets, txDeferredTx, txSingleRetries,
    txMultipleRetries, txRetryLimitExc, txDiscards, rxUnicast, rxMulticast, rxFrags, rxUniOctets,
    rxMultiOctets, rxFCSErrors, rxNoBuffer, txWrongSA, rxWEPUndecryp, rxMsgInMsg, rxMsgInBadMsg,
    huntCmd, rxOvr, retryMany, retrySingle, retryExhaust, crcError, plcpCrc, frameTooLong, retryLong,
    retryShort, expReport, rxDuplicates, txRtsSuccess, txRtsFailure, txAckFailure,
};

// What the adapter is doing over an interval.
struct Activity {
    bool transmitting = false;  // continuous transmit
    bool receiving = false;     // receiver on (continuous receive, monitor, or a port enabled)
    double rateMbps = 11.0;
    int stationsHeard = 0;      // stations beaconing on the current channel
};

class Tallies {
public:
    static constexpr double kTestFrameOctets = 1024;
    static constexpr double kBeaconOctets = 96;

    void clear();
    void run(const Activity& activity, double seconds);
    TallyInfo snapshot() const;

private:
    void add(Tally t, double amount);
    std::array<double, kTallyCount> counts_{};
};

}  // namespace vireo::sim
