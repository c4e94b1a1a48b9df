#include "test_equipment.h"

#include "instrument_status.h"
#include "instruments/status.h"

namespace kestview::instruments {

namespace {
constexpr int kPowerMeterAddress = 13;
constexpr float kChannelStepHz = 5000000.0f;
}  // namespace

TestEquipment::TestEquipment(StatusText status, std::string meterLibrary, std::string analyzerLibrary)
    : status_(std::move(status)), meter_(std::move(meterLibrary)), analyzer_(std::move(analyzerLibrary)) {}

bool TestEquipment::step(const std::function<void()>& body, std::string& failure) {
    try {
        body();
        return true;
    } catch (const BindingError& e) {
        if (status_) status_(e.what());
        failure = e.what();
        return false;
    }
}

std::string TestEquipment::notReadyText() const {
    std::string text;
    if (!PowerMeterOk) text += "Power meter: " + (PowerMeterFailure.empty() ? "not initialized" : PowerMeterFailure);
    if (!AnalyzerOk) {
        if (!text.empty()) text += "\n";
        text += "Spectrum analyzer: " + (AnalyzerFailure.empty() ? "not initialized" : AnalyzerFailure);
    }
    return text;
}

// Ending a session that is being replaced is a courtesy to the gateway: a library without the
// function simply keeps it.
void TestEquipment::closeReplaced(const std::function<void()>& close) {
    try {
        close();
    } catch (const BindingError&) {
    }
}

// What a driver says its failure status means ("the instrument gateway at HOST:PORT is in use by
// another program"), for the status bar; the console's own words for the status when the library
// has no such function.
std::string TestEquipment::explain(DriverLibrary& library, const char* function, int handle, int status) {
    using Message = int(int, int, char*, int);
    char text[256] = {};
    try {
        library.function<Message>(function)(handle, status, text, int(sizeof text));
    } catch (const BindingError&) {
        return instrumentStatusText(status);
    }
    if (!text[0]) return instrumentStatusText(status);
    if (status_) status_(text);
    return text;
}

void TestEquipment::initTestEquip() {
    PowerMeterFailure.clear();
    AnalyzerFailure.clear();
    if (PowerMeterHandle > 0) closeReplaced([&] { meter_.close(PowerMeterHandle); });
    if (step([&] { PowerMeterHandle = meter_.init(kPowerMeterAddress); }, PowerMeterFailure) && PowerMeterHandle <= 0)
        PowerMeterFailure = explain(meter_.library(), "hp438a_error_message", PowerMeterHandle, PowerMeterHandle);
    int setup = 0;
    if (!step([&] { setup = meter_.setup(PowerMeterHandle, 0, 0, 0, 0, 0); }, PowerMeterFailure)) setup = INSTR_ERR_HANDLE;
    PowerMeterOk = setup == 0;
    if (PowerMeterOk) PowerMeterFailure.clear();
    else if (PowerMeterFailure.empty())
        PowerMeterFailure = explain(meter_.library(), "hp438a_error_message", PowerMeterHandle, setup);
    if (AnalyzerHandle > 0) closeReplaced([&] { analyzer_.saClose(AnalyzerHandle); });
    if (step([&] { AnalyzerHandle = analyzer_.saInit(0, 1); }, AnalyzerFailure)) {
        AnalyzerOk = AnalyzerHandle > 0;
        if (!AnalyzerOk) AnalyzerFailure = explain(analyzer_.library(), "saErrorMessage", AnalyzerHandle, AnalyzerHandle);
    } else {
        AnalyzerOk = false;
    }
}

void TestEquipment::InitAnalyzer() {
    const int32_t handle = analyzer_.saInit(0, 0);
    if (AnalyzerHandle > 0) closeReplaced([&] { analyzer_.saClose(AnalyzerHandle); });
    AnalyzerHandle = handle;
}

int16_t TestEquipment::SetAnalyzerFrequency(double hz) {
    return int16_t(analyzer_.saFrequency(AnalyzerHandle, float(hz), kChannelStepHz));
}

int32_t TestEquipment::SetAnalyzerSpan(double hz) { return analyzer_.saSpan(AnalyzerHandle, 0, float(hz)); }

}  // namespace kestview::instruments
