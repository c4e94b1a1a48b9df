#include "mask_test.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "mask_test_fakes.h"

namespace kestview::mfgtest {
namespace {

using testing::CallLog;
using testing::FakeAdapter;
using testing::FakeHost;
using testing::FakeInstruments;

struct Bench {
    explicit Bench(std::string typeHex = "30") : adapter(log, typeHex), instruments(log, adapter), host(log) {}
    CallLog log;
    FakeAdapter adapter;
    FakeInstruments instruments;
    FakeHost host;
    MaskTest test(double offset = 28) { return MaskTest(adapter, instruments, host, offset); }
    // The instruments measure these first sidelobes, one per measurement, the last one repeated.
    void scriptLobes(std::vector<double> lobes) {
        instruments.firstLobe = [this, lobes](const FakeAdapter&) {
            return lobes[std::min<std::size_t>(std::max(instruments.lobeReads, 1) - 1, lobes.size() - 1)];
        };
    }
};

TEST(TuneIntegrator, StepsRoundingAndWrap) {
    struct Case {
        const char* what;
        int cr31;
        std::vector<double> lobes;
        std::vector<int> writes;
        int value;
    };
    const Case cases[] = {
        {"err 0.4 steps by 1", 100, {-27.6, -28.5}, {101}, 101},
        {"halves go to even", 100, {-25.5, -24.5, -28.5}, {102, 106}, 106},
        {"below 0 wraps by 256", 0, {-31.0, -28.5}, {253}, 253},
        // The CR31 kept is the one measured within the window: nothing is written after it.
        {"within 1 dB below the limit settles at once", 80, {-28.9}, {}, 80},
    };
    for (const auto& c : cases) {
        Bench b;
        b.adapter.regs["CR31"] = c.cr31;
        b.scriptLobes(c.lobes);
        auto t = b.test();
        int value = -1;
        EXPECT_TRUE(t.TuneIntegrator(value)) << c.what;
        EXPECT_EQ(b.adapter.cr31Writes, c.writes) << c.what;
        EXPECT_EQ(value, c.value) << c.what;
        EXPECT_EQ(b.log.count("restartTX"), int(c.writes.size())) << c.what;
        EXPECT_EQ(b.instruments.lobeReads, int(c.lobes.size())) << c.what << ": one measurement per CR31, the last one kept";
        EXPECT_EQ(b.adapter.regs["CR31"], value) << c.what;
    }
}

TEST(TuneIntegrator, StopsAfterTheThirteenthMeasurementAndFails) {
    Bench b;
    b.scriptLobes({-20.0});  // this adapter cannot reach the limit: every step raises CR31 by 8
    b.adapter.regs["CR31"] = 0;
    auto t = b.test();
    int value = 0;
    EXPECT_FALSE(t.TuneIntegrator(value));
    EXPECT_EQ(b.instruments.lobeReads, 13);
    EXPECT_EQ(b.adapter.cr31Writes.size(), 12u);  // none after the 13th measurement
    EXPECT_EQ(value, 96);                          // the CR31 of the 13th measurement
    EXPECT_DOUBLE_EQ(b.host.waited, 26.0);
}

TEST(TransmitTest, AChannelLeftAboveTheLimitFailsTheCompletedTest) {
    Bench b;
    // Channel 5 cannot be tuned under the limit; every other channel settles at -28.5 dBc.
    b.instruments.firstLobe = [](const FakeAdapter& a) { return a.channel == 5 ? -20.0 : -28.5; };
    double offset = 0;
    int shown = 0;
    auto r = OperationalTest(b.adapter, b.instruments, b.host, true, true, "", "0", offset,
                             [&](const MaskTestRun& run) {
                                 ++shown;
                                 EXPECT_EQ(run.rowsAboveMask, (std::vector<int>{5, 21}));
                                 EXPECT_FALSE(run.passed);  // the window knows the outcome
                                 EXPECT_EQ(run.failure, "First sidelobe above the mask limit in rows 5, 21");
                             });
    EXPECT_EQ(shown, 1);  // the operator still sees every row, as measured
    EXPECT_TRUE(r.run.completed);
    EXPECT_FALSE(r.passed);
    EXPECT_TRUE(complete(r.run.rows));
    EXPECT_EQ(r.run.rows[5]->firstLobe, -20.0);
    EXPECT_EQ(b.host.messages.back().first, "Transmit Test Failure: First sidelobe above the mask limit in rows 5, 21");
    ASSERT_FALSE(b.host.errors.empty());
    EXPECT_EQ(b.host.errors.back(), "First sidelobe above the mask limit in rows 5, 21");
    EXPECT_EQ(rowsAboveMask(r.run.rows, 28), (std::vector<int>{5, 21}));
    EXPECT_TRUE(rowsAboveMask(r.run.rows, 19).empty());
}

TEST(TransmitTest, AChannelTunedFarBelowTheLimitFailsAsNotSettled) {
    Bench b;
    // Channel 3 stays 12 dB below the limit whatever CR31 holds: within the mask, never tuned.
    b.instruments.firstLobe = [](const FakeAdapter& a) { return a.channel == 3 ? -40.0 : -28.5; };
    auto t = b.test();
    EXPECT_FALSE(t.TransmitTest(nullptr));
    EXPECT_TRUE(t.run().completed);
    EXPECT_TRUE(t.run().rowsAboveMask.empty());
    EXPECT_EQ(t.run().rowsNotTuned, (std::vector<int>{3, 19}));
    EXPECT_EQ(t.run().failure, "CR31 did not settle within 1 dB below the mask limit in rows 3, 19");
}

TEST(MaskOffset, FieldRules) {
    EXPECT_EQ(effectiveMaskOffset("0", 0), 28);
    EXPECT_EQ(effectiveMaskOffset("", 0), 28);
    EXPECT_EQ(effectiveMaskOffset("30", 0), 30);
    EXPECT_EQ(effectiveMaskOffset("30", 255), 28);
    EXPECT_EQ(effectiveMaskOffset("12.5", 0), 12);
    EXPECT_EQ(maskOffsetFromField("300", 28), std::nullopt);
    EXPECT_EQ(maskOffsetFromField("-1", 28), std::nullopt);
    EXPECT_EQ(maskOffsetFromField("31", 28), 31);
    EXPECT_EQ(maskOffsetFromField("3a", 28), 28);  // no number yet: the offset stays
}

TEST(TransmitTest, CedarRunsBothPassesToThirtyThreeRows) {
    Bench b;
    auto t = b.test();
    int shown = 0;
    const bool passed = t.TransmitTest([&](const MaskTestRun& run) {
        ++shown;
        EXPECT_TRUE(complete(run.rows));
        EXPECT_EQ(b.log.count("ResetPhy"), 0);  // the PHY is reset after the window closes
    });
    ASSERT_TRUE(passed);
    EXPECT_EQ(shown, 1);
    const auto& rows = t.run().rows;
    ASSERT_TRUE(complete(rows));
    for (int i = 1; i <= 30; ++i) {
        if (i == 15 || i == 16) continue;
        const int ch = i <= 14 ? i : i - 16;
        EXPECT_EQ(rows[i]->channel, ch);
        EXPECT_EQ(rows[i]->dataTag, (i <= 14 ? "US    Ch" : "JPN   Ch") + std::string(ch < 10 ? "0" : "") + std::to_string(ch));
        EXPECT_LT(rows[i]->firstLobe, -28.0) << i;
        EXPECT_GT(rows[i]->firstLobe, -29.0) << i;
        EXPECT_NEAR(rows[i]->secondLobe, rows[i]->firstLobe - 17.0, 1e-9);
        EXPECT_EQ(rows[i]->integrator, 0x50);
    }
    EXPECT_EQ(rows[15]->dataTag, "ETSI Ch01  ");
    EXPECT_EQ(rows[16]->dataTag, "ETSI Ch13 ");
    EXPECT_EQ(rows[15]->channel, 1);
    EXPECT_EQ(rows[16]->channel, 13);
    EXPECT_EQ(rows[16]->integrator, rows[13]->integrator);
    EXPECT_EQ(rows[16]->outputPower, rows[13]->outputPower);
    const char* tags[] = {"BO  -03Db", "BO  -06Db", "BO  -12Db"};
    for (int k = 0; k < 3; ++k) {
        const auto& r = *rows[31 + k];
        EXPECT_EQ(r.dataTag, tags[k]);
        EXPECT_EQ(r.channel, 6);
        EXPECT_EQ(r.outputPower, 0);
        EXPECT_EQ(r.firstLobe, 0);
        EXPECT_EQ(r.secondLobe, 0);
        EXPECT_EQ(r.integrator, 0x50 - 24 * (1 << k));
        EXPECT_EQ(r.setPoint, 0x3C - 24 * (1 << k));
    }
    // The set-up, the filter bit cleared for US and set for JPN, the analyzer's texts.
    const auto& calls = b.log.calls;
    const auto at = [&](const std::string& c) { return std::find(calls.begin(), calls.end(), c) - calls.begin(); };
    EXPECT_LT(at("DisablePort 0"), at("FC00 SetAsInteger 1,3"));
    EXPECT_LT(at("FC00 SetAsInteger 1,3"), at("EnablePort 0"));
    EXPECT_LT(at("EnablePort 0"), at("InitPhy"));
    EXPECT_LT(at("write CR9=160"), at("write CR10=189"));
    EXPECT_LT(at("write CR5=4"), at("saWriteString Testing US CH01"));
    EXPECT_LT(at("saWriteString Testing US CH14"), at("write CR5=20"));
    EXPECT_LT(at("write CR5=20"), at("saWriteString Testing JPN CH01"));
    EXPECT_EQ(b.log.count("saWriteString Testing US CH05"), 1);
    EXPECT_LT(at("saDeactivateMarkers"), at("StopTest"));
    EXPECT_LT(at("resetChannelColours"), at("ResetPhy"));
    EXPECT_EQ(b.log.count("toggle 7"), 2);  // once per pass
    EXPECT_EQ(b.adapter.regs["CR14"], 0x28);  // no BBPType 11 here
    EXPECT_TRUE(b.host.timerOn);
    EXPECT_GT(t.run().testSeconds, 0);
}

TEST(TransmitTest, BirchFilterRegisterAndTheTypeElevenStep) {
    Bench b("B");  // a BBPType of 11, which no model reports, still gets CR14 bit 7
    b.adapter.regs["CR11"] = 0x25;
    auto t = b.test();
    ASSERT_TRUE(t.TransmitTest(nullptr));
    EXPECT_EQ(b.adapter.regs["CR14"], 0xA8);
    EXPECT_EQ(b.log.count("write CR11=5"), 1);
    EXPECT_EQ(b.log.count("write CR11=37"), 1);
    EXPECT_EQ(b.log.count("write CR5=4"), 0);
}

TEST(TransmitTest, StopDuringAWaitEndsAtTheNextChannelWithoutResults) {
    Bench b;
    b.host.duringWait = [&] {
        if (b.adapter.channel == 5) b.host.flag = false;  // "Stop Testing" while channel 5 tunes
    };
    auto t = b.test();
    bool shown = false;
    EXPECT_FALSE(t.TransmitTest([&](const MaskTestRun&) { shown = true; }));
    EXPECT_FALSE(shown);
    EXPECT_TRUE(t.run().stopped);
    EXPECT_TRUE(t.run().rows[5]);   // the channel being tuned is finished
    EXPECT_FALSE(t.run().rows[6]);
    EXPECT_EQ(b.log.count("SetChannel 6"), 0);
    EXPECT_EQ(b.log.calls.back(), "StopTest");  // the radio does not keep transmitting
    EXPECT_FALSE(b.host.timerOn);
}

TEST(TransmitTest, AFailingComponentCallFailsTheTestWithItsReason) {
    Bench b;
    b.adapter.failOn = "write CR10";
    auto t = b.test();
    EXPECT_FALSE(t.TransmitTest(nullptr));
    EXPECT_NE(t.run().failure.find("write CR10"), std::string::npos);
    ASSERT_EQ(b.host.errors.size(), 1u);
    EXPECT_EQ(b.log.calls.back(), "StopTest");
}

TEST(AddBackoffRow, UnknownBackoffAddsNothing) {
    Bench b;
    auto t = b.test();
    EXPECT_FALSE(t.AddBackoffRow(5.0, 31));
    EXPECT_FALSE(t.run().rows[31]);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0].first, "Invalid backoff");
}

TEST(OperationalTest, InstrumentsOffsetAndOutcomeMessages) {
    {
        Bench b;
        double offset = 0;
        auto r = OperationalTest(b.adapter, b.instruments, b.host, false, true, "Spectrum analyzer: saInit: driver status -9", "0",
                                 offset, nullptr);
        EXPECT_FALSE(r.ran);
        ASSERT_EQ(b.host.messages.size(), 1u);
        EXPECT_EQ(b.host.messages[0].first,
                  "Cannot Run Test - All Instruments did not initialize\nSpectrum analyzer: saInit: driver status -9");
        EXPECT_EQ(b.host.messages[0].second, "Analyzer Failure");
        EXPECT_TRUE(b.log.calls.empty());
    }
    {
        Bench b;
        double offset = 0;
        auto r = OperationalTest(b.adapter, b.instruments, b.host, true, true, "", "0", offset, nullptr);
        EXPECT_TRUE(r.passed);
        EXPECT_EQ(offset, 28);
        EXPECT_EQ(r.run.maskOffset, 28);
        EXPECT_FALSE(b.host.flag);
        EXPECT_EQ(b.host.messages.back().first, "TEST SUCCESSFUL");
    }
    {
        Bench b;
        b.host.duringWait = [&] { b.host.flag = false; };
        double offset = 0;
        auto r = OperationalTest(b.adapter, b.instruments, b.host, true, false, "", "25", offset, nullptr);
        EXPECT_FALSE(r.passed);
        EXPECT_EQ(offset, 25);
        EXPECT_EQ(b.host.messages.back().first, "Transmit Test Failure");
    }
}

}  // namespace
}  // namespace kestview::mfgtest
