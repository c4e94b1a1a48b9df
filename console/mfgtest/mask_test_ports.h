// What the spectral-mask sequence drives, as three small interfaces: the adapter (through the
// component), the bench instruments (through their driver bindings) and the console around it
// (waits, the stop flag, the main window's channel options and status timer, the results window).
// The windows and the headless run implement them over the console; tests implement them as fakes.
#pragma once

#include <stdexcept>
#include <string>

#include "test_data.h"

namespace kestview::mfgtest {

// The console's result rows, by their names in the test.
using kestview::clsTestData;
using kestview::CopyTestData;
using kestview::kTestRows;
using kestview::TestRows;

// Component calls. A call that fails throws (the automation error's text as what()).
class MaskTestAdapter {
public:
    virtual ~MaskTestAdapter() = default;
    virtual int bbpType() = 0;              // IBBPRegs.BBPType
    virtual std::string bbpTypeHex() = 0;   // the console's baseband type text ("30" for Cedar)
    virtual int readRegister(const std::string& name) = 0;            // IBBPRegs.Item(name).Value
    virtual void writeRegister(const std::string& name, int value) = 0;
    virtual void disablePort(int port) = 0;
    virtual void enablePort(int port) = 0;
    virtual void setPortType(int value) = 0;  // record FC00: SetAsInteger(1, value)
    virtual void initPhy() = 0;
    virtual void resetPhy() = 0;
    virtual void setChannel(int channel) = 0;
    virtual void continuousTx(int pattern) = 0;
    virtual void stopTest() = 0;
    virtual void restartTX() = 0;  // the console's: stop, then continuous transmit with its pattern
};

// An instrument call that did not do what was asked: which instrument ("The spectrum analyzer")
// and what happened ("stopped answering"). The test adds where it was.
class InstrumentFailure : public std::runtime_error {
public:
    InstrumentFailure(std::string instrument, std::string problem)
        : std::runtime_error(instrument + " " + problem), instrument_(std::move(instrument)), problem_(std::move(problem)) {}
    const std::string& instrument() const { return instrument_; }
    const std::string& problem() const { return problem_; }

private:
    std::string instrument_, problem_;
};

// The instrument operations the test uses, with the fixed argument words of the bindings. An
// operation that fails throws InstrumentFailure.
class MaskTestInstruments {
public:
    virtual ~MaskTestInstruments() = default;
    virtual void InitAnalyzer() = 0;
    virtual int SetAnalyzerFrequency(double hz) = 0;
    virtual int SetAnalyzerSpan(double hz) = 0;
    virtual void saConfigBandwidth() = 0;             // 1, 1000000, 1, 0, 100, 3000, 0.3
    virtual void saConfigSweep() = 0;                 // 0, 1, 0.1
    virtual void saConfigMarkerPeak(double excursion) = 0;
    virtual void saConfigMarkerToFunction(int marker, int function) = 0;
    virtual void saAmplitude() = 0;                   // 0, 0, 0, 1, 10.0, 0, 8, 0, 0
    virtual void saAmplitudeLevel() = 0;              // -25.0, 0, 0, 0, -10.0, 0, 0
    virtual void saActivateMarker(int marker) = 0;
    // The active marker's amplitude in dBm (`preset` is what the driver's variable starts with).
    virtual double saReadMarkerAmplitude(double preset) = 0;
    virtual void saDeactivateMarkers() = 0;
    virtual void saWriteString(const std::string& text) = 0;
    // hp438a_measure: the power in dBm.
    virtual double measurePower(double preset) = 0;
};

// The console around the test.
class MaskTestHost {
public:
    virtual ~MaskTestHost() = default;
    virtual void waitSecs(double seconds) = 0;       // processes events; may clear the stop flag
    virtual bool testing() const = 0;                // TestingFlag
    virtual void setTesting(bool on) = 0;            // TestingFlag and the "Stop Testing" caption
    virtual double timeOfDay() = 0;                  // seconds since midnight on the console clock
    virtual double channelFrequencyHz(int channel) = 0;
    virtual void toggleAllowedChannel(int channel) = 0;
    virtual void markChannel(int channel) = 0;       // RadioOpt(channel) light yellow, repainted
    virtual void resetChannelColours() = 0;
    virtual bool statusTimerEnabled() = 0;
    virtual void setStatusTimerEnabled(bool on) = 0;
    // A message box (critical icon when asked), and a failure's reason in the status bar.
    virtual void message(const std::string& text, const std::string& title, bool critical) = 0;
    virtual void reportError(const std::string& text) = 0;
    // One line of progress per recorded channel row, for the headless run (windows ignore it).
    virtual void rowRecorded(int row, const clsTestData& data) { (void)row, (void)data; }
};

}  // namespace kestview::mfgtest
