#include "test_equipment.h"

namespace kestview::instruments {

namespace {
constexpr int kPowerMeterAddress = 13;
constexpr float kChannelStepHz = 5000000.0f;
}  // namespace

TestEquipment::TestEquipment(StatusText status, std::string meterLibrary, std::string analyzerLibrary)
    : status_(std::move(status)), meter_(std::move(meterLibrary)), analyzer_(std::move(analyzerLibrary)) {}

bool TestEquipment::step(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const BindingError& e) {
        if (status_) status_(e.what());
        return false;
    }
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
// another program"), for the status bar; a library without the function says nothing more.
void TestEquipment::explain(DriverLibrary& library, const char* function, int handle, int status) {
    using Message = int(int, int, char*, int);
    char text[256] = {};
    try {
        library.function<Message>(function)(handle, status, text, int(sizeof text));
    } catch (const BindingError&) {
        return;
    }
    if (status_ && text[0]) status_(text);
}

void TestEquipment::initTestEquip() {
    if (PowerMeterHandle > 0) closeReplaced([&] { meter_.close(PowerMeterHandle); });
    step([&] { PowerMeterHandle = meter_.init(kPowerMeterAddress); });
    int setup = 0;
    if (!step([&] { PowerMeterOk = (setup = meter_.setup(PowerMeterHandle, 0, 0, 0, 0, 0)) == 0; })) PowerMeterOk = false;
    else if (PowerMeterHandle <= 0) explain(meter_.library(), "hp438a_error_message", PowerMeterHandle, PowerMeterHandle);
    else if (setup < 0) explain(meter_.library(), "hp438a_error_message", PowerMeterHandle, setup);
    if (AnalyzerHandle > 0) closeReplaced([&] { analyzer_.saClose(AnalyzerHandle); });
    if (!step([&] {
            AnalyzerHandle = analyzer_.saInit(0, 1);
            AnalyzerOk = AnalyzerHandle > 0;
        }))
        AnalyzerOk = false;
    else if (!AnalyzerOk) explain(analyzer_.library(), "saErrorMessage", AnalyzerHandle, AnalyzerHandle);
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
