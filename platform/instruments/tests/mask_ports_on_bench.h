// The spectral-mask sequence's three ports on the simulated bench: the adapter is a simulated
// device driven with command blocks, the instruments are the driver libraries talking to the
// simulated gateway over loopback, and the console's waits return at once.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "controller.h"
#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"
#include "mask_test_ports.h"
#include "request_helpers.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/rf_emission.h"
#include "vireo/sim/testing/gateway_client.h"
#include "vireo/sim/testing/test_bench.h"

namespace bench_rig {

namespace mt = kestview::mfgtest;

using vireo::sim::testing::pointDriversAt;

// A Birch or Cedar adapter of the bench, its baseband registers by name ("CR31").
class BenchAdapter final : public mt::MaskTestAdapter {
public:
    explicit BenchAdapter(std::shared_ptr<vireo::sim::Device> device) : device_(std::move(device)) {}
    vireo::sim::Device& device() { return *device_; }
    // Every CR31 write as (channel, value written), in order.
    std::vector<std::pair<int, int>> cr31Writes;

    int bbpType() override { return device_->spec().baseband == vireo::sim::BasebandModel::Cedar ? 0x30 : 0x20; }
    std::string bbpTypeHex() override { return bbpType() == 0x30 ? "30" : "20"; }
    int readRegister(const std::string& name) override {
        const auto v = device_->basebandRegister(name);
        if (!v) throw std::runtime_error("no register " + name);
        return *v;
    }
    void writeRegister(const std::string& name, int value) override {
        if (name == "CR31") cr31Writes.push_back({channel_, value});
        run(vireo::sim::cmd::WriteBaseband, WORD(std::stoi(name.substr(2)) * 2), WORD(value));
    }
    void disablePort(int port) override { run(WORD(vireo::sim::cmd::DisablePort | port << 8)); }
    void enablePort(int port) override { run(WORD(vireo::sim::cmd::EnablePort | port << 8)); }
    void setPortType(int) override {}
    void initPhy() override { run(vireo::sim::cmd::InitPhy); }
    void resetPhy() override { run(vireo::sim::cmd::ResetPhy); }
    void setChannel(int channel) override {
        run(vireo::sim::cmd::SetChannel, WORD(channel));
        channel_ = channel;
    }
    void continuousTx(int pattern) override { run(vireo::sim::cmd::ContinuousTx, WORD(pattern)); }
    void stopTest() override { run(vireo::sim::cmd::StopTest); }
    void restartTX() override {
        stopTest();
        continuousTx(0);
    }

private:
    void run(WORD command, WORD p0 = 0, WORD p1 = 0) {
        const auto reply = simtest::command(*device_, command, p0, p1);
        if (reply.status != NDIS_STATUS_SUCCESS) throw std::runtime_error("command failed: " + std::to_string(command));
    }
    std::shared_ptr<vireo::sim::Device> device_;
    int channel_ = 0;
};

// The instrument operations with their fixed argument words, over the driver libraries.
class DriverInstruments final : public mt::MaskTestInstruments {
public:
    int meter = 0, analyzer = 0;

    void InitAnalyzer() override { analyzer = saInit(0, 0); }
    int SetAnalyzerFrequency(double hz) override { return int16_t(saFrequency(analyzer, float(hz), 5000000.0f)); }
    int SetAnalyzerSpan(double hz) override { return saSpan(analyzer, 0, float(hz)); }
    void saConfigBandwidth() override { ::saConfigBandwidth(analyzer, 1, 1000000, 1, 0, 100, 3000, 0.3); }
    void saConfigSweep() override { ::saConfigSweep(analyzer, 0, 1, 0.1); }
    void saConfigMarkerPeak(double excursion) override { ::saConfigMarkerPeak(analyzer, excursion, 0, 0, 0); }
    void saConfigMarkerToFunction(int marker, int function) override {
        ::saConfigMarkerToFunction(analyzer, marker, function);
    }
    void saAmplitude() override { ::saAmplitude(analyzer, 0, 0, 0, 1, 10.0, 0, 8, 0, 0); }
    void saAmplitudeLevel() override { ::saAmplitudeLevel(analyzer, -25.0, 0, 0, 0, -10.0, 0, 0); }
    void saActivateMarker(int marker) override { ::saActivateMarker(analyzer, marker); }
    double saReadMarkerAmplitude(double preset) override {
        ::saReadMarkerAmplitude(analyzer, &preset);
        return preset;
    }
    void saDeactivateMarkers() override { ::saDeactivateMarkers(analyzer); }
    void saWriteString(const std::string& text) override { ::saWriteString(analyzer, text.c_str()); }
    double measurePower(double preset) override {
        hp438a_measure(meter, 0, &preset);
        return preset;
    }
};

// A console whose waits return at once and whose test runs until it ends.
class QuickHost final : public mt::MaskTestHost {
public:
    void waitSecs(double) override {}
    bool testing() const override { return true; }
    void setTesting(bool) override {}
    double timeOfDay() override { return 0; }
    double channelFrequencyHz(int channel) override { return vireo::sim::channelCentreHz(channel); }
    void toggleAllowedChannel(int) override {}
    void markChannel(int) override {}
    void resetChannelColours() override {}
    bool statusTimerEnabled() override { return false; }
    void setStatusTimerEnabled(bool) override {}
    void message(const std::string&, const std::string&, bool) override {}
    void reportError(const std::string& text) override { ADD_FAILURE() << text; }
};

// The default bench with its gateway on a free loopback port, the drivers pointed at it, the power
// meter set up, and the Cedar adapter on the RF cable behind the sequence's adapter port.
struct RfRig : ::testing::Test {
    vireo::sim::testing::TestBench bench;
    vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
    BenchAdapter adapter{bench.device("0003")};
    DriverInstruments instruments;
    QuickHost host;
    int port = 0;  // the gateway's

    void SetUp() override {
        port = gateway.listen(0);
        pointDriversAt(port);
        instruments.meter = hp438a_init(13);
        ASSERT_EQ(hp438a_setup(instruments.meter, 0, 0, 0, 0, 0), INSTR_SUCCESS);
        adapter.initPhy();
    }
    void TearDown() override {
        hp438a_close(instruments.meter);
        saClose(instruments.analyzer);
    }

    // The filter bit (CR5 bit 4 on this Cedar adapter) set or cleared.
    void narrowFilter(bool on) {
        const int cr5 = adapter.readRegister("CR5");
        adapter.writeRegister("CR5", on ? cr5 | 0x10 : cr5 & ~0x10);
    }
    // Continuous transmit on `channel` with CR31 = `cr31`, the analyzer centred on it.
    void transmit(int channel, int cr31) {
        adapter.stopTest();
        adapter.setChannel(channel);
        adapter.writeRegister("CR31", cr31);
        adapter.continuousTx(0);
        instruments.SetAnalyzerFrequency(vireo::sim::channelCentreHz(channel));
    }
};

}  // namespace bench_rig
