// The bench's RF path measured through the drivers and the simulated gateway, as the
// manufacturing test measures it: the adapter on the RF cable in continuous transmit.
#include <gtest/gtest.h>

#include <cmath>

#include "controller.h"
#include "instruments/gateway_config.h"
#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"
#include "registry/winreg.h"
#include "request_helpers.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/rf_emission.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;

namespace {

struct RfBench : ::testing::Test {
    vireo::sim::testing::TestBench bench;
    InstrumentGateway gateway{loadBench(bench.benchFile())};
    std::shared_ptr<Device> device = bench.device("0003");  // the Cedar adapter on the cable
    int meter = 0, analyzer = 0;

    void SetUp() override {
        const DWORD port = DWORD(gateway.listen(0));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, oru::instruments::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
        RegCloseKey(key);
        meter = hp438a_init(13);
        ASSERT_EQ(hp438a_setup(meter, 0, 0, 0, 0, 0), INSTR_SUCCESS);
        analyzer = saInit(0, 1);
        ASSERT_GT(analyzer, 0);
        // The manufacturing test's analyzer set-up.
        ASSERT_EQ(saConfigBandwidth(analyzer, 1, 1000000, 1, 0, 100, 3000, 0.3), INSTR_SUCCESS);
        ASSERT_EQ(saConfigSweep(analyzer, 0, 1, 0.1), INSTR_SUCCESS);
        ASSERT_EQ(saAmplitude(analyzer, 0, 0, 0, 1, 10.0, 0, 8, 0, 0), INSTR_SUCCESS);
        ASSERT_EQ(saAmplitudeLevel(analyzer, -25.0, 0, 0, 0, -10.0, 0, 0), INSTR_SUCCESS);
        ASSERT_EQ(saConfigMarkerPeak(analyzer, 6.0, 0, 0, 0), INSTR_SUCCESS);
        ASSERT_EQ(saSpan(analyzer, 0, 80e6f), INSTR_SUCCESS);
    }
    void TearDown() override {
        hp438a_close(meter);
        saClose(analyzer);
    }

    // CR31 and the narrow filter (CR5 bit 4), then transmit restarted on `channel`.
    void transmit(int channel, int cr31, bool narrow) {
        namespace st = simtest;
        const WORD cr5 = WORD(device->basebandRegister("CR5").value_or(0));
        st::command(*device, cmd::StopTest);
        ASSERT_EQ(st::command(*device, cmd::SetChannel, WORD(channel)).status, NDIS_STATUS_SUCCESS);
        ASSERT_EQ(st::command(*device, cmd::WriteBaseband, 31 * 2, WORD(cr31)).status, NDIS_STATUS_SUCCESS);
        ASSERT_EQ(st::command(*device, cmd::WriteBaseband, 5 * 2, WORD(narrow ? cr5 | 0x10 : cr5 & ~0x10)).status,
                  NDIS_STATUS_SUCCESS);
        ASSERT_EQ(st::command(*device, cmd::ContinuousTx, 0).status, NDIS_STATUS_SUCCESS);
        ASSERT_EQ(saFrequency(analyzer, float(channelCentreHz(channel)), 5e6f), INSTR_SUCCESS);
    }
    double marker(int number, int function) {
        double dbm = 999.0;
        EXPECT_EQ(saConfigMarkerToFunction(analyzer, number, function), INSTR_SUCCESS);
        EXPECT_EQ(saReadMarkerAmplitude(analyzer, &dbm), INSTR_SUCCESS);
        return dbm;
    }
};

}  // namespace

TEST_F(RfBench, MarkersFindCarrierAndSidelobesAndTheMeterReadsThroughTheLoss) {
    transmit(6, 64, false);
    const Emission e = modelEmission(device->spec(), 6, 64, false);
    double hz = 0, peak = 0;
    ASSERT_EQ(saZoomReadPeak(analyzer, &hz, &peak), INSTR_SUCCESS);
    EXPECT_NEAR(hz, channelCentreHz(6), 250e3);  // within a trace point or two
    const double carrier = marker(1, 4);
    EXPECT_NEAR(marker(2, 6) - carrier, e.firstSidelobeDbc, 1.5);
    EXPECT_NEAR(marker(2, 6) - carrier, e.secondSidelobeDbc, 1.5);  // applied again: the second
    double dbm = 999;
    ASSERT_EQ(hp438a_measure(meter, 0, &dbm), INSTR_SUCCESS);
    EXPECT_NEAR(dbm, e.outputDbm - 1.5, 0.05);  // the default bench's cable loses 1.5 dB

    // Not transmitting: the noise floor only.
    simtest::command(*device, cmd::StopTest);
    ASSERT_EQ(hp438a_measure(meter, 0, &dbm), INSTR_SUCCESS);
    EXPECT_LT(dbm, -65.0);
    EXPECT_LT(marker(1, 4), -70.0);
}
