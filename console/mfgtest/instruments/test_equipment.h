// The console-wide instrument state and the operations built on the two bindings: opening both
// instruments, re-opening the analyzer, and its frequency and span.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "instrument_bindings.h"

namespace kestview::instruments {

class TestEquipment {
public:
    // `status` receives the text of a step that failed for want of a library or function, and what
    // a driver says about an instrument that did not open (the gateway busy, the wrong instrument).
    using StatusText = std::function<void(const std::string&)>;
    explicit TestEquipment(StatusText status, std::string meterLibrary = kPowerMeterLibrary,
                           std::string analyzerLibrary = kAnalyzerLibrary);

    int32_t PowerMeterHandle = 0;
    int32_t AnalyzerHandle = 0;
    bool PowerMeterOk = false;
    bool AnalyzerOk = false;

    // Opens both instruments; a step that fails is skipped and the next one runs. A handle it
    // replaces is closed first, so that retries do not pile up sessions on the gateway.
    void initTestEquip();
    // AnalyzerHandle = saInit(0, 0); no flag changes. Throws BindingError.
    void InitAnalyzer();
    // saFrequency(AnalyzerHandle, hz as a single, 5000000.0), the result cut to 16 bits. Throws BindingError.
    int16_t SetAnalyzerFrequency(double hz);
    // saSpan(AnalyzerHandle, 0, hz). Throws BindingError.
    int32_t SetAnalyzerSpan(double hz);

    class hp438a& hp438a() { return meter_; }
    class hp8593e& hp8593e() { return analyzer_; }

private:
    // Runs one step; a binding failure goes to the status text and returns false.
    bool step(const std::function<void()>& body);
    static void closeReplaced(const std::function<void()>& close);
    void explain(DriverLibrary& library, const char* function, int handle, int status);

    StatusText status_;
    class hp438a meter_;
    class hp8593e analyzer_;
};

}  // namespace kestview::instruments
