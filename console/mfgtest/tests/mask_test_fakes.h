// Fakes of the three ports of the spectral-mask test: an adapter with a register file, instruments
// whose first sidelobe follows CR31 through a function the test chooses, and a console whose waits
// only add up. Every call is logged in order.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "mask_test_ports.h"

namespace kestview::mfgtest::testing {

struct CallLog {
    std::vector<std::string> calls;
    void add(std::string c) { calls.push_back(std::move(c)); }
    int count(const std::string& c) const {
        int n = 0;
        for (const auto& x : calls) n += x == c;
        return n;
    }
};

class FakeAdapter : public MaskTestAdapter {
public:
    explicit FakeAdapter(CallLog& log, std::string typeHex = "30") : log_(log), typeHex_(std::move(typeHex)) {
        regs = {{"CR31", 0x48}, {"CR58", 0x3C}, {"CR14", 0x28}, {"CR5", 0x04}, {"CR11", 0x00}, {"CR9", 0}, {"CR10", 0}};
    }
    std::map<std::string, int> regs;
    std::vector<int> cr31Writes;
    std::string failOn;  // a call that throws

    int bbpType() override { return std::stoi(typeHex_, nullptr, 16); }
    std::string bbpTypeHex() override { return typeHex_; }
    int readRegister(const std::string& name) override {
        check("read " + name);
        return regs.at(name);
    }
    void writeRegister(const std::string& name, int value) override {
        check("write " + name);
        log_.add("write " + name + "=" + std::to_string(value));
        if (name == "CR31") cr31Writes.push_back(value);
        regs[name] = value;
    }
    void disablePort(int p) override { log_.add("DisablePort " + std::to_string(p)); }
    void enablePort(int p) override { log_.add("EnablePort " + std::to_string(p)); }
    void setPortType(int v) override { log_.add("FC00 SetAsInteger 1," + std::to_string(v)); }
    void initPhy() override { log_.add("InitPhy"); }
    void resetPhy() override { log_.add("ResetPhy"); }
    void setChannel(int ch) override {
        check("SetChannel");
        channel = ch;
        log_.add("SetChannel " + std::to_string(ch));
    }
    void continuousTx(int pattern) override { log_.add("ContinuousTx " + std::to_string(pattern)); }
    void stopTest() override { log_.add("StopTest"); }
    void restartTX() override { log_.add("restartTX"); }
    int channel = 0;

private:
    void check(const std::string& what) {
        if (!failOn.empty() && what == failOn) throw std::runtime_error("IBBPRegs : " + what + " failed");
    }
    CallLog& log_;
    std::string typeHex_;
};

class FakeInstruments : public MaskTestInstruments {
public:
    FakeInstruments(CallLog& log, FakeAdapter& adapter) : log_(log), adapter_(adapter) {}
    // The first sidelobe in dBc for the adapter's state; the default settles CR31 near 0x50.
    std::function<double(const FakeAdapter&)> firstLobe = [](const FakeAdapter& a) {
        return -28.0 - 0.6 * (a.regs.at("CR31") - 0x50) - 0.3;
    };
    double carrier = -10.0;
    int lobeReads = 0;

    void InitAnalyzer() override { log_.add("InitAnalyzer"); }
    int SetAnalyzerFrequency(double hz) override {
        log_.add("SetAnalyzerFrequency " + std::to_string(long(hz)));
        return 0;
    }
    int SetAnalyzerSpan(double hz) override {
        log_.add("SetAnalyzerSpan " + std::to_string(long(hz)));
        return 0;
    }
    void saConfigBandwidth() override { log_.add("saConfigBandwidth"); }
    void saConfigSweep() override { log_.add("saConfigSweep"); }
    void saConfigMarkerPeak(double e) override { log_.add("saConfigMarkerPeak " + std::to_string(e).substr(0, 3)); }
    void saConfigMarkerToFunction(int m, int f) override {
        second_ = second_ || activated_;  // re-pointed after the reads: the second sidelobes
        log_.add("saConfigMarkerToFunction " + std::to_string(m) + "," + std::to_string(f));
    }
    void saAmplitude() override {
        activated_ = second_ = false;
        log_.add("saAmplitude");
    }
    void saAmplitudeLevel() override { log_.add("saAmplitudeLevel"); }
    void saActivateMarker(int m) override {
        marker_ = m;
        activated_ = true;
        log_.add("saActivateMarker " + std::to_string(m));
    }
    double saReadMarkerAmplitude(double) override {
        if (marker_ == 1) return carrier;
        if (marker_ == 2) ++lobeReads;
        return carrier + firstLobe(adapter_) - (marker_ == 2 ? 0.5 : 0.0) - (second_ ? 17.0 : 0.0);
    }
    void saDeactivateMarkers() override { log_.add("saDeactivateMarkers"); }
    void saWriteString(const std::string& t) override { log_.add("saWriteString " + t); }
    double measurePower(double) override { return 16.0 - 0.1 * (adapter_.regs.at("CR31") - 0x50); }

private:
    CallLog& log_;
    FakeAdapter& adapter_;
    int marker_ = 1;
    bool activated_ = false, second_ = false;
};

class FakeHost : public MaskTestHost {
public:
    explicit FakeHost(CallLog& log) : log_(log) {}
    double waited = 0;
    bool flag = true;
    bool timerOn = true;
    std::function<void()> duringWait;  // what the operator does while the test waits
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<std::string> errors;

    void waitSecs(double s) override {
        waited += s;
        if (duringWait) duringWait();
    }
    bool testing() const override { return flag; }
    void setTesting(bool on) override { flag = on; }
    double timeOfDay() override { return 43200 + waited; }
    double channelFrequencyHz(int ch) override { return (ch == 14 ? 2484 : 2407 + 5 * ch) * 1e6; }
    void toggleAllowedChannel(int ch) override { log_.add("toggle " + std::to_string(ch)); }
    void markChannel(int ch) override { log_.add("mark " + std::to_string(ch)); }
    void resetChannelColours() override { log_.add("resetChannelColours"); }
    bool statusTimerEnabled() override { return timerOn; }
    void setStatusTimerEnabled(bool on) override { timerOn = on; }
    void message(const std::string& text, const std::string& title, bool) override { messages.emplace_back(text, title); }
    void reportError(const std::string& text) override { errors.push_back(text); }

private:
    CallLog& log_;
};

}  // namespace kestview::mfgtest::testing
