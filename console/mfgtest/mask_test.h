// The spectral-mask test: on every channel of a US pass (filter bit cleared) and a JPN pass
// (filter bit set), tune CR31 until the strongest first sidelobe sits just below the mask limit,
// then record output power, CR58, CR31 and both sidelobes; add the repeated ETSI channels and the
// back-off rows. Plain code over the three ports, so it runs under the windows, headless and in
// tests alike.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mask_test_ports.h"
#include "test_data.h"

namespace kestview::mfgtest {

inline constexpr double kDefaultMaskOffset = 28.0;

// The offset the test runs with: the field's value as a 16-bit integer when it is above 0 and the
// current offset is below 255, else 28.
double effectiveMaskOffset(const std::string& fieldText, double current);

// The measured channel rows (1 to 30) whose first sidelobe lies above the limit of `maskOffset`.
std::vector<int> rowsAboveMask(const TestRows& rows, double maskOffset);

// The mask offset field's rule on every change: nullopt when the text must be replaced by "0"
// (below 0 or above 255), else the offset it sets (or the current one when it is no number yet).
std::optional<double> maskOffsetFromField(const std::string& fieldText, double current);

// A carrier the instruments read below this level is no carrier: the bench's power meter and
// analyzer show their noise floors far below it, and the weakest transmitter setting still reaches
// them tens of dB above it.
inline constexpr double kNoCarrierDbm = -60.0;

// What the test leaves for the results window and the results record.
struct MaskTestRun {
    TestRows rows;
    double testSeconds = 0;     // on the console clock
    double elapsedSeconds = 0;  // real time
    double maskOffset = kDefaultMaskOffset;
    bool stopped = false;      // "Stop Testing" ended it
    bool completed = false;    // every row was measured
    bool passed = false;       // completed, every channel tuned within 1 dB below the mask limit
    std::vector<int> rowsAboveMask;  // channel rows whose first sidelobe stayed above the mask limit
    std::vector<int> rowsNotTuned;   // measured channel rows whose CR31 did not settle in the window
    std::string failure;       // why the run failed, for the operator; empty when it passed
};

class MaskTest {
public:
    MaskTest(MaskTestAdapter& adapter, MaskTestInstruments& instruments, MaskTestHost& host, double maskOffset);

    // The whole transmit test; `showResults` is called (modally) with the 33 rows and the outcome
    // before the adapter's PHY is reset. True when it completed with every channel tuned: its
    // CR31 measured with the first sidelobe within 1 dB below the mask limit. A channel the tuning
    // could not bring into that window fails the test although its row is kept as measured. An
    // instrument that fails or reads no carrier ends the test at once as a failure naming it.
    bool TransmitTest(const std::function<void(const MaskTestRun&)>& showResults);

    bool RunChannelSweep(int& count, const std::string& name);
    // Measures, then steps CR31 by the error, until a measurement finds the first sidelobe within
    // 1 dB below the limit; `value` is the CR31 of that measurement (of the 13th when none did,
    // and then false). The kept value and sidelobe always belong to one measurement.
    bool TuneIntegrator(int& value);
    int ReadSetPoint();
    void RecordChannelResult(clsTestData& row, const std::string& name);
    bool AddBackoffRow(double backoff, int row);
    void SetupAnalyzer();
    double MeasureSidelobe(bool configureMarkers, int lobe);

    const MaskTestRun& run() const { return run_; }
    MaskTestRun& run() { return run_; }
    void setChannel(int channel) { channel_ = channel; }  // the sweep's current channel

private:
    bool sweepsAndRows();
    // Where the test is, for a failure's text: "during US channel 7".
    std::string where() const;
    void judge();  // the outcome of a completed run

    MaskTestAdapter& adapter_;
    MaskTestInstruments& instruments_;
    MaskTestHost& host_;
    MaskTestRun run_;
    int channel_ = 0;         // the sweep's channel; 15 once a sweep ran through
    double lastPower_ = 0;    // the last power-meter reading
    double lastLobe_ = 0;     // the last first sidelobe of TuneIntegrator
    int keptIntegrator_ = 0;  // the CR31 value TuneIntegrator settled on
    std::string filterRegister_;
    std::string pass_;        // the sweep's name while one runs
};

// The operator's "Spectral Mask Test" after the window's set-up: checks the instruments, runs the
// transmit test with the field's offset and reports the outcome in a message box (a failure with
// its reason; instruments not ready with `notReadyText`, why they are not). Returns the run.
struct OperationalTestResult {
    bool ran = false;   // the instruments were ready
    bool passed = false;
    MaskTestRun run;
};
OperationalTestResult OperationalTest(MaskTestAdapter& adapter, MaskTestInstruments& instruments, MaskTestHost& host,
                                      bool instrumentsReady, bool powerMeterOk, const std::string& notReadyText,
                                      const std::string& offsetField, double& maskOffset,
                                      const std::function<void(const MaskTestRun&)>& showResults);

}  // namespace kestview::mfgtest
