#include "instrument_port.h"

namespace kestview::mfgtest {

void EquipmentInstruments::InitAnalyzer() { eq_.InitAnalyzer(); }
int EquipmentInstruments::SetAnalyzerFrequency(double hz) { return eq_.SetAnalyzerFrequency(hz); }
int EquipmentInstruments::SetAnalyzerSpan(double hz) { return eq_.SetAnalyzerSpan(hz); }
void EquipmentInstruments::saConfigBandwidth() { sa().saConfigBandwidth(handle(), 1, 1000000, 1, 0, 100, 3000, 0.3); }
void EquipmentInstruments::saConfigSweep() { sa().saConfigSweep(handle(), 0, 1, 0.1); }
void EquipmentInstruments::saConfigMarkerPeak(double excursion) { sa().saConfigMarkerPeak(handle(), excursion, 0, 0, 0); }
void EquipmentInstruments::saConfigMarkerToFunction(int marker, int function) {
    sa().saConfigMarkerToFunction(handle(), marker, function);
}
void EquipmentInstruments::saAmplitude() { sa().saAmplitude(handle(), 0, 0, 0, 1, 10.0, 0, 8, 0, 0); }
void EquipmentInstruments::saAmplitudeLevel() { sa().saAmplitudeLevel(handle(), -25.0, 0, 0, 0, -10.0, 0, 0); }
void EquipmentInstruments::saActivateMarker(int marker) { sa().saActivateMarker(handle(), marker); }

// The drivers leave the value alone when a read fails, so the caller's preset comes back.
double EquipmentInstruments::saReadMarkerAmplitude(double preset) {
    double dbm = preset;
    sa().saReadMarkerAmplitude(handle(), &dbm);
    return dbm;
}

void EquipmentInstruments::saDeactivateMarkers() { sa().saDeactivateMarkers(handle()); }
void EquipmentInstruments::saWriteString(const std::string& text) { sa().saWriteString(handle(), text); }

double EquipmentInstruments::measurePower(double preset) {
    double dbm = preset;
    eq_.hp438a().measure(eq_.PowerMeterHandle, 0, &dbm);
    return dbm;
}

}  // namespace kestview::mfgtest
