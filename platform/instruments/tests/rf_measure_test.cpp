// The bench's RF path measured through the drivers and the simulated gateway the way the
// manufacturing test measures it: its analyzer set-up and its sidelobe measurement, with the Cedar
// adapter on the RF cable in continuous transmit.
#include <cmath>
#include <cstdio>
#include <string>

#include "mask_ports_on_bench.h"
#include "mask_test.h"
#include "rf/rf_constants.h"

using namespace vireo::sim;
namespace mt = kestview::mfgtest;

namespace {

constexpr double kCableLossDb = 1.5;  // the default bench's cable

// A lobe's level as the analyzer sees it: over the transmitter's broadband floor.
double overFloor(double lobeDbc) {
    return 10 * std::log10(std::pow(10, lobeDbc / 10) + std::pow(10, rf::kTransmitterFloorDbc / 10));
}

struct RfBench : bench_rig::RfRig {
    mt::MaskTest sequence{adapter, instruments, host, mt::kDefaultMaskOffset};
    void SetUp() override {
        RfRig::SetUp();
        sequence.SetupAnalyzer();
        ASSERT_GT(instruments.analyzer, 0);
    }
    Emission model(int channel, int cr31, bool narrow) {
        return modelEmission(adapter.device().spec(), channel, unsigned(cr31), narrow);
    }
    double marker(int number, int function) {
        double dbm = 999.0;
        EXPECT_EQ(saConfigMarkerToFunction(instruments.analyzer, number, function), INSTR_SUCCESS);
        EXPECT_EQ(saReadMarkerAmplitude(instruments.analyzer, &dbm), INSTR_SUCCESS);
        return dbm;
    }
};

}  // namespace

TEST_F(RfBench, CarrierAtTheCentreSidelobesBesideItAndTheMeterReadsThroughTheLoss) {
    for (bool narrow : {false, true}) {
        narrowFilter(narrow);
        for (int ch = 1; ch <= 14; ++ch) {
            SCOPED_TRACE(::testing::Message() << "channel " << ch << (narrow ? " narrow" : ""));
            transmit(ch, 64);
            const Emission e = model(ch, 64, narrow);
            double hz = 0, peak = 0;
            ASSERT_EQ(saZoomReadPeak(instruments.analyzer, &hz, &peak), INSTR_SUCCESS);
            EXPECT_NEAR(hz, channelCentreHz(ch), 1e6);  // the carrier's top is flat within the RBW
            EXPECT_NEAR(sequence.MeasureSidelobe(true, 1), e.firstSidelobeDbc, 0.3);
            // The trace moves under the markers (a new sweep of a restarted transmitter): applied
            // again, next peak left and right still go on from the first sidelobes to the second.
            adapter.restartTX();
            EXPECT_NEAR(sequence.MeasureSidelobe(false, 2), overFloor(e.secondSidelobeDbc), 0.5);
            double dbm = 999.0;
            ASSERT_EQ(hp438a_measure(instruments.meter, 0, &dbm), INSTR_SUCCESS);
            EXPECT_NEAR(dbm, e.outputDbm - kCableLossDb, rf::kPowerMeterNoiseDb + 0.005);
        }
    }
    // Marker by marker: peak search on the carrier, then each next-peak step one lobe further out.
    transmit(6, 64);
    const Emission e = model(6, 64, true);
    const double carrier = marker(1, 4);
    for (auto [number, function] : {std::pair{2, 6}, std::pair{3, 7}}) {
        marker(number, 4);
        EXPECT_NEAR(marker(number, function) - carrier, e.firstSidelobeDbc, 0.3);
        EXPECT_NEAR(marker(number, function) - carrier, overFloor(e.secondSidelobeDbc), 0.5);
    }
}

TEST_F(RfBench, FirstSidelobeFallsWithEveryCr31StepDownToItsFloor) {
    for (bool narrow : {false, true}) {
        narrowFilter(narrow);
        const double floorDbc = rf::kFirstSidelobeFloorDbc - (narrow ? rf::kFilterFirstSidelobeDb : 0.0);
        for (int ch = 1; ch <= 14; ++ch) {
            double last = 0;
            int steps = 0;
            for (int cr31 = 0; model(ch, cr31, narrow).firstSidelobeDbc > floorDbc + 1.0; cr31 += 8, ++steps) {
                SCOPED_TRACE(::testing::Message() << "channel " << ch << " CR31 " << cr31 << (narrow ? " narrow" : ""));
                transmit(ch, cr31);
                const double lobe = sequence.MeasureSidelobe(true, 1);
                EXPECT_NEAR(lobe, overFloor(model(ch, cr31, narrow).firstSidelobeDbc), 0.3);
                if (cr31 > 0) {
                    EXPECT_LT(lobe, last - 0.25);
                }
                last = lobe;
            }
            EXPECT_GE(steps, 10) << "channel " << ch;  // the sweep crossed the limit on its way
            EXPECT_LT(last, -mt::kDefaultMaskOffset - 10);
        }
    }
}

TEST_F(RfBench, OnlyTheNoiseFloorsWhenNothingOnTheCableTransmits) {
    const auto noiseOnly = [&](const char* what) {
        SCOPED_TRACE(what);
        double dbm = 999.0;
        ASSERT_EQ(hp438a_measure(instruments.meter, 0, &dbm), INSTR_SUCCESS);
        EXPECT_NEAR(dbm, rf::kPowerMeterFloorDbm, 0.5);
        // 10 dB of input attenuation over the displayed noise, and its ripple.
        EXPECT_LT(marker(1, 4), rf::kAnalyzerNoiseDbmPerMHz + 10 + 0.5);
    };
    transmit(6, 72);
    adapter.stopTest();
    noiseOnly("the adapter on the cable stopped");
    // The Birch adapter transmits, but it is not the one on the cable.
    bench_rig::BenchAdapter birch(bench.device("0002"));
    birch.initPhy();
    birch.setChannel(6);
    birch.continuousTx(0);
    noiseOnly("an adapter off the cable transmitting");
}

// A script written from the instruments' programming manuals and the gateway's manual alone
// (examples/instruments.py, through PyVISA) reads what the drivers read: the same carrier, first
// sidelobe and output power on a transmitting channel.
TEST_F(RfBench, AScriptFromTheManualsReadsWhatTheDriversRead) {
    constexpr int kChannel = 6;
    transmit(kChannel, 64);
    // The gateway serves one program at a time: the drivers let it go for the script.
    hp438a_close(instruments.meter);
    saClose(instruments.analyzer);
    instruments.meter = instruments.analyzer = 0;
    ASSERT_TRUE(vireo::sim::testing::eventually([&] { return gateway.connectionsOpen() == 0; }));
    const std::string command = std::string(ORU_PYTHON) + " " + ORU_SOURCE_DIR + "/examples/instruments.py --port " +
                                std::to_string(port) + " --channel " + std::to_string(kChannel) + " 2>&1";
    FILE* script = ::popen(command.c_str(), "r");
    ASSERT_TRUE(script);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, script)) out += buf;
    ASSERT_EQ(::pclose(script), 0) << out;
    double carrier = 0, centreMhz = 0, sidelobe = 0, sidelobeDbc = 0, power = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("carrier:"), "carrier: %lf dBm at %lf MHz", &carrier, &centreMhz), 2) << out;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("first sidelobe:"), "first sidelobe: %lf dBm (%lf dBc)", &sidelobe,
                          &sidelobeDbc), 2) << out;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("output power:"), "output power: %lf dBm", &power), 1) << out;

    instruments.meter = hp438a_init(13);
    ASSERT_EQ(hp438a_setup(instruments.meter, 0, 0, 0, 0, 0), INSTR_SUCCESS);
    sequence.SetupAnalyzer();
    instruments.SetAnalyzerFrequency(channelCentreHz(kChannel));
    double hz = 0, peak = 0, dbm = 0;
    ASSERT_EQ(saZoomReadPeak(instruments.analyzer, &hz, &peak), INSTR_SUCCESS);
    instruments.SetAnalyzerFrequency(channelCentreHz(kChannel));
    const double lobe = sequence.MeasureSidelobe(true, 1);
    ASSERT_EQ(hp438a_measure(instruments.meter, 0, &dbm), INSTR_SUCCESS);
    EXPECT_NEAR(centreMhz * 1e6, hz, 1e6);
    EXPECT_NEAR(carrier, peak, 0.3);
    EXPECT_NEAR(sidelobeDbc, lobe, 0.3);
    EXPECT_NEAR(power, dbm, 2 * rf::kPowerMeterNoiseDb + 0.01);
    EXPECT_NEAR(sidelobeDbc, model(kChannel, 64, false).firstSidelobeDbc, 0.3);
}
