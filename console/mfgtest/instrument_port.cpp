#include "instrument_port.h"

#include <cmath>

#include "instrument_status.h"

namespace kestview::mfgtest {

namespace {

constexpr const char* kAnalyzer = "The spectrum analyzer";
constexpr const char* kPowerMeter = "The power meter";

// A driver call that did not succeed ends the measurement: what the instrument shows or answers
// afterwards cannot be trusted.
int check(int status, const char* instrument, const char* call) {
    if (status == 0) return status;
    if (instruments::instrumentLost(status)) throw InstrumentFailure(instrument, "stopped answering");
    throw InstrumentFailure(instrument, std::string("failed ") + call + ": " + instruments::instrumentStatusText(status));
}

// A reading is a finite number the driver wrote.
double reading(int status, double value, const char* instrument, const char* call) {
    check(status, instrument, call);
    if (!std::isfinite(value)) throw InstrumentFailure(instrument, std::string("gave no reading to ") + call);
    return value;
}

}  // namespace

void EquipmentInstruments::InitAnalyzer() {
    eq_.InitAnalyzer();
    if (eq_.AnalyzerHandle <= 0) check(eq_.AnalyzerHandle, kAnalyzer, "saInit");
}
int EquipmentInstruments::SetAnalyzerFrequency(double hz) {
    return check(eq_.SetAnalyzerFrequency(hz), kAnalyzer, "saFrequency");
}
int EquipmentInstruments::SetAnalyzerSpan(double hz) { return check(eq_.SetAnalyzerSpan(hz), kAnalyzer, "saSpan"); }
void EquipmentInstruments::saConfigBandwidth() {
    check(sa().saConfigBandwidth(handle(), 1, 1000000, 1, 0, 100, 3000, 0.3), kAnalyzer, "saConfigBandwidth");
}
void EquipmentInstruments::saConfigSweep() { check(sa().saConfigSweep(handle(), 0, 1, 0.1), kAnalyzer, "saConfigSweep"); }
void EquipmentInstruments::saConfigMarkerPeak(double excursion) {
    check(sa().saConfigMarkerPeak(handle(), excursion, 0, 0, 0), kAnalyzer, "saConfigMarkerPeak");
}
void EquipmentInstruments::saConfigMarkerToFunction(int marker, int function) {
    check(sa().saConfigMarkerToFunction(handle(), marker, function), kAnalyzer, "saConfigMarkerToFunction");
}
void EquipmentInstruments::saAmplitude() {
    check(sa().saAmplitude(handle(), 0, 0, 0, 1, 10.0, 0, 8, 0, 0), kAnalyzer, "saAmplitude");
}
void EquipmentInstruments::saAmplitudeLevel() {
    check(sa().saAmplitudeLevel(handle(), -25.0, 0, 0, 0, -10.0, 0, 0), kAnalyzer, "saAmplitudeLevel");
}
void EquipmentInstruments::saActivateMarker(int marker) {
    check(sa().saActivateMarker(handle(), marker), kAnalyzer, "saActivateMarker");
}

double EquipmentInstruments::saReadMarkerAmplitude(double preset) {
    double dbm = preset;
    const int status = sa().saReadMarkerAmplitude(handle(), &dbm);
    return reading(status, dbm, kAnalyzer, "saReadMarkerAmplitude");
}

void EquipmentInstruments::saDeactivateMarkers() {
    check(sa().saDeactivateMarkers(handle()), kAnalyzer, "saDeactivateMarkers");
}
void EquipmentInstruments::saWriteString(const std::string& text) {
    check(sa().saWriteString(handle(), text), kAnalyzer, "saWriteString");
}

double EquipmentInstruments::measurePower(double preset) {
    double dbm = preset;
    const int status = eq_.hp438a().measure(eq_.PowerMeterHandle, 0, &dbm);
    return reading(status, dbm, kPowerMeter, "hp438a_measure");
}

}  // namespace kestview::mfgtest
