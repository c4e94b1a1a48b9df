#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "controller.h"
#include "request_helpers.h"
#include "tallies.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;
using namespace simtest;

namespace {
TallyInfo query(Device& d) {
    const Reply r = send(d, NdisRequestQueryInformation, OID_VIREO_TALLIES, std::vector<BYTE>(kTallyInfoBytes));
    EXPECT_EQ(r.status, NDIS_STATUS_SUCCESS);
    TallyInfo t{};
    std::memcpy(t.data(), r.buffer.data(), kTallyInfoBytes);
    return t;
}
std::int32_t at(const TallyInfo& t, Tally k) { return t[std::size_t(k)]; }
}  // namespace

TEST(Tallies, ContinuousTransmitCountsAtTheDataRate) {
    TestBench bench;
    auto d = bench.device("0002");
    const struct {
        WORD rateControl;
        double mbps;
    } cases[] = {{8, 11.0}, {4, 5.5}, {2, 2.0}, {1, 1.0}};
    for (const auto& c : cases) {
        writeRecord(*d, 0xFC84, {c.rateControl});
        command(*d, cmd::ContinuousTx, 0xFFFF);
        const TallyInfo before = query(*d);
        bench.clock().advance(std::chrono::seconds(2));
        const TallyInfo after = query(*d);
        command(*d, cmd::StopTest);
        const double octets = at(after, Tally::txUniOctets) - at(before, Tally::txUniOctets);
        EXPECT_NEAR(octets, c.mbps * 1e6 / 8 * 0.8 * 2, 2048) << c.mbps;
        const double frames = at(after, Tally::txUnicast) - at(before, Tally::txUnicast);
        EXPECT_NEAR(frames, octets / Tallies::kTestFrameOctets, 2) << c.mbps;
    }
    // Stopped: nothing is sent.
    const TallyInfo idle = query(*d);
    bench.clock().advance(std::chrono::seconds(5));
    EXPECT_EQ(at(query(*d), Tally::txUnicast), at(idle, Tally::txUnicast));
}

TEST(Tallies, ReceiverCountsBeaconsAndCardResetClears) {
    TestBench bench;
    auto d = bench.device("0001");  // channel 1 has an access point
    command(*d, cmd::ContinuousRx);
    bench.clock().advance(std::chrono::seconds(10));
    const TallyInfo t = query(*d);
    EXPECT_NEAR(at(t, Tally::rxMulticast), 97, 2);
    EXPECT_NEAR(at(t, Tally::rxMultiOctets), at(t, Tally::rxMulticast) * Tallies::kBeaconOctets, Tallies::kBeaconOctets);
    EXPECT_GT(at(t, Tally::rxFCSErrors), 0);
    EXPECT_EQ(at(t, Tally::txUnicast), 0);
    send(*d, NdisRequestSetInformation, OID_VIREO_CARD_RESET, std::vector<BYTE>(kCardResetBytes));
    const TallyInfo cleared = query(*d);
    EXPECT_TRUE(std::all_of(cleared.begin(), cleared.end(), [](std::int32_t v) { return v == 0; }));
}
