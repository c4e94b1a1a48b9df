// The RF model: emission, published state of a driven adapter, and what the instruments make of it.
#include <gtest/gtest.h>

#include "rf/rf_constants.h"
#include "rf/spectrum.h"
#include "request_helpers.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/rf_emission.h"
#include "vireo/sim/testing/test_bench.h"

#include "../src/controller.h"

using namespace vireo::sim;

namespace {

AdapterSpec adapter(const std::string& serial) {
    AdapterSpec a;
    a.key = "0003";
    a.serial = serial;
    return a;
}

AnalyzerSettings maskSettings(double centreHz) {
    AnalyzerSettings s;
    s.centreHz = centreHz;
    s.spanHz = 100e6;
    s.rbwHz = 1e6;
    s.vbwHz = 3e3;
    s.refLevelDbm = 0;
    return s;
}

}  // namespace

TEST(RfModel, OutputFallsWithCr31AndSidelobesFallWithOutput) {
    const AdapterSpec a = adapter("99VC00030003");
    for (bool filter : {false, true}) {
        for (int ch = 1; ch <= 14; ++ch) {
            double lastPower = 1e9, lastLobe = 1e9;
            for (unsigned cr31 = 0; cr31 <= 160; cr31 += 8) {
                const Emission e = modelEmission(a, ch, cr31, filter);
                EXPECT_LT(e.outputDbm, lastPower);
                EXPECT_LT(e.firstSidelobeDbc, lastLobe) << "ch " << ch << " CR31 " << cr31;
                EXPECT_LT(e.secondSidelobeDbc, e.firstSidelobeDbc);
                lastPower = e.outputDbm;
                lastLobe = e.firstSidelobeDbc;
            }
        }
    }
    // The filter lowers the sidelobes at the same output power; the serial number moves the gain.
    EXPECT_NEAR(modelEmission(a, 6, 72, false).firstSidelobeDbc - modelEmission(a, 6, 72, true).firstSidelobeDbc,
                rf::kFilterFirstSidelobeDb, 1e-9);
    EXPECT_NE(modelEmission(adapter("A"), 6, 72, false).outputDbm, modelEmission(adapter("B"), 6, 72, false).outputDbm);
    EXPECT_EQ(modelEmission(a, 14, 72, false).centreHz, 2484e6);
    EXPECT_EQ(modelEmission(a, 1, 72, false).centreHz, 2412e6);
}

TEST(RfModel, TracePeaksOnTheCarrierAndNextPeaksOnTheSidelobes) {
    const Emission e = modelEmission(adapter("99VC00030003"), 6, 72, false);
    const Trace t = computeTrace(e, 1.5, maskSettings(e.centreHz), 1);
    const std::size_t carrier = highestPeak(t);
    EXPECT_NEAR(t.frequency(carrier), e.centreHz, t.stepHz);
    for (int side : {-1, 1}) {
        const auto first = nextPeak(t, carrier, side, 0.4);
        ASSERT_TRUE(first);
        EXPECT_NEAR(std::abs(t.frequency(*first) - e.centreHz), 16.5e6, 1e6);
        EXPECT_NEAR(t.dbm[*first] - t.dbm[carrier], e.firstSidelobeDbc, 0.5);
        const auto second = nextPeak(t, *first, side, 0.4);
        ASSERT_TRUE(second);
        EXPECT_NEAR(std::abs(t.frequency(*second) - e.centreHz), 27.5e6, 1e6);
        EXPECT_NEAR(t.dbm[*second] - t.dbm[carrier], e.secondSidelobeDbc, 0.7);
    }
    // A marker left beside a top by an earlier sweep is on that signal: the next peak is the one
    // beyond it, not the top it already sits on.
    for (int side : {-1, 1}) {
        const auto first = nextPeak(t, std::size_t(std::ptrdiff_t(carrier) - side), side, 0.4);
        ASSERT_TRUE(first);
        EXPECT_NEAR(t.dbm[*first] - t.dbm[carrier], e.firstSidelobeDbc, 0.5);
        const auto second = nextPeak(t, std::size_t(std::ptrdiff_t(*first) - side), side, 0.4);
        ASSERT_TRUE(second);
        EXPECT_NEAR(t.dbm[*second] - t.dbm[carrier], e.secondSidelobeDbc, 0.7);
        EXPECT_FALSE(nextPeak(t, *second, side, 0.4));  // nothing further out stands out
    }
    // Power meter: output less loss, within its noise.
    for (std::uint64_t seed = 0; seed < 20; ++seed)
        EXPECT_NEAR(powerMeterReading(e, 1.5, seed), e.outputDbm - 1.5, rf::kPowerMeterNoiseDb + 1e-9);
}

TEST(RfModel, NothingRadiatingShowsTheNoiseFloor) {
    const Trace t = computeTrace(Emission{}, 1.5, maskSettings(2437e6), 1);
    for (double v : t.dbm) EXPECT_LT(v, rf::kAnalyzerNoiseDbmPerMHz + 10 + 1);  // 10 dB of attenuation
    EXPECT_NEAR(powerMeterReading(Emission{}, 1.5, 3), rf::kPowerMeterFloorDbm, 1);
}

TEST(RfModel, DrivenAdapterPublishesItsEmissionAndLatchesCr31AtTransmitStart) {
    vireo::sim::testing::TestBench bench;
    auto device = bench.device("0003");  // the Cedar adapter on the RF cable
    const auto dir = device->stateDir();
    auto writeCr = [&](WORD n, WORD v) { return simtest::command(*device, cmd::WriteBaseband, WORD(n * 2), v).status; };
    EXPECT_FALSE(readPublishedEmission(dir).transmitting);

    ASSERT_EQ(simtest::command(*device, cmd::SetChannel, 6).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeCr(31, 80), NDIS_STATUS_SUCCESS);
    ASSERT_EQ(simtest::command(*device, cmd::ContinuousTx, 0).status, NDIS_STATUS_SUCCESS);
    Emission e = readPublishedEmission(dir);
    ASSERT_TRUE(e.transmitting);
    EXPECT_EQ(e.channel, 6);
    EXPECT_EQ(e.txPowerControl, 80u);
    EXPECT_DOUBLE_EQ(e.outputDbm, modelEmission(device->spec(), 6, 80, false).outputDbm);
    // CR58 follows the output power, 8 counts per dB.
    const int setPoint = *device->basebandRegister("CR58");
    EXPECT_NEAR(setPoint, 8 * (e.outputDbm - rf::kSetPointZeroDbm), 1.6);

    // A new CR31 waits for the next transmit start; the filter bit (CR5 bit 4) acts at once.
    ASSERT_EQ(writeCr(31, 100), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(readPublishedEmission(dir).txPowerControl, 80u);
    ASSERT_EQ(writeCr(5, 0x14), NDIS_STATUS_SUCCESS);
    EXPECT_TRUE(readPublishedEmission(dir).narrowFilter);
    simtest::command(*device, cmd::StopTest);
    EXPECT_FALSE(readPublishedEmission(dir).transmitting);
    simtest::command(*device, cmd::ContinuousTx, 0);
    EXPECT_EQ(readPublishedEmission(dir).txPowerControl, 100u);

    // The process that drives the adapter goes: so does its emission.
    forgetDevices();
    device.reset();
    EXPECT_FALSE(readPublishedEmission(dir).transmitting);
}

TEST(RfModel, PublishedEmissionRefusesDamagedFiles) {
    EXPECT_FALSE(emissionFromJson(""));
    EXPECT_FALSE(emissionFromJson("{\"transmitting\": true}"));
    EXPECT_FALSE(emissionFromJson("[1,2]"));
    Emission e = modelEmission(adapter("x"), 3, 70, true);
    auto back = emissionFromJson(emissionToJson(e));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->channel, 3);
    EXPECT_TRUE(back->narrowFilter);
    std::string text = emissionToJson(e);
    text.replace(text.find("\"outputDbm\":") + 12, 1, "1e999");
    EXPECT_FALSE(emissionFromJson(text));
}
