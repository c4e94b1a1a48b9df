// The manufacturing test's tuning loop and spectral-mask sweeps run against the bench's RF model
// through the drivers: every channel of both passes settles with its first sidelobe within 1 dB
// below the limit.
#include <map>

#include "mask_ports_on_bench.h"
#include "mask_test.h"

using namespace vireo::sim;
namespace mt = kestview::mfgtest;

namespace {

constexpr double kLimitDbc = -mt::kDefaultMaskOffset;

struct MaskLoop : bench_rig::RfRig {
    mt::MaskTest sequence{adapter, instruments, host, mt::kDefaultMaskOffset};
};

}  // namespace

TEST_F(MaskLoop, SettlesOnEveryChannelFromFullPowerAndFromFarBelowTheLimit) {
    sequence.SetupAnalyzer();
    for (bool narrow : {false, true}) {
        narrowFilter(narrow);
        for (int ch = 1; ch <= 14; ++ch) {
            for (int start : {0, 160}) {
                SCOPED_TRACE(::testing::Message() << "channel " << ch << " from CR31 " << start << (narrow ? " narrow" : ""));
                transmit(ch, start);
                sequence.setChannel(ch);
                adapter.cr31Writes.clear();
                int value = -1;
                EXPECT_TRUE(sequence.TuneIntegrator(value));
                EXPECT_LE(adapter.cr31Writes.size(), 12u);  // one CR31 write per measurement
                EXPECT_EQ(value, adapter.readRegister("CR31"));
                mt::clsTestData row;
                sequence.RecordChannelResult(row, "US   ");
                EXPECT_GT(row.firstLobe, kLimitDbc - 1.0);
                EXPECT_LT(row.firstLobe, kLimitDbc);
            }
        }
    }
}

TEST_F(MaskLoop, BothPassesRecordTunedChannelsMeasuredThroughTheDrivers) {
    bool shown = false;
    ASSERT_TRUE(sequence.TransmitTest([&](const mt::MaskTestRun& run) {
        shown = true;
        for (int r : {1, 14, 17, 30}) ASSERT_TRUE(run.rows[r]) << r;
        for (int r = 1; r <= 30; ++r) {
            if (r == 15 || r == 16) continue;  // the ETSI repeats
            const mt::clsTestData& row = *run.rows[r];
            SCOPED_TRACE(row.dataTag);
            const Emission e = modelEmission(adapter.device().spec(), row.channel, unsigned(row.integrator), r > 16);
            EXPECT_GT(row.firstLobe, kLimitDbc - 1.0);
            EXPECT_LT(row.firstLobe, kLimitDbc);
            EXPECT_NEAR(row.secondLobe, e.secondSidelobeDbc, 0.5);
            EXPECT_NEAR(row.outputPower, e.outputDbm - 1.5, 0.05);
        }
    }));
    EXPECT_TRUE(shown);
    std::map<int, int> measurements;  // per channel, over both passes
    for (auto [channel, value] : adapter.cr31Writes) ++measurements[channel];
    ASSERT_EQ(measurements.size(), 14u);
    for (auto [channel, n] : measurements) EXPECT_LE(n, 24) << "channel " << channel;
    EXPECT_FALSE(readPublishedEmission(adapter.device().stateDir()).transmitting);
    // The meter's session and the analyzer's, opened again for each pass, share one connection.
    EXPECT_EQ(gateway.connectionsServed(), 1);
    EXPECT_EQ(gateway.connectionsTurnedAway(), 0);
}
