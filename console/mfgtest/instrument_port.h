// The spectral-mask test's instrument operations over the console's bench instruments: each
// operation is the driver call with the fixed argument words the test uses, and a call the driver
// does not complete throws InstrumentFailure.
#pragma once

#include "mask_test_ports.h"
#include "test_equipment.h"

namespace kestview::mfgtest {

class EquipmentInstruments final : public MaskTestInstruments {
public:
    explicit EquipmentInstruments(instruments::TestEquipment& equipment) : eq_(equipment) {}

    void InitAnalyzer() override;
    int SetAnalyzerFrequency(double hz) override;
    int SetAnalyzerSpan(double hz) override;
    void saConfigBandwidth() override;
    void saConfigSweep() override;
    void saConfigMarkerPeak(double excursion) override;
    void saConfigMarkerToFunction(int marker, int function) override;
    void saAmplitude() override;
    void saAmplitudeLevel() override;
    void saActivateMarker(int marker) override;
    double saReadMarkerAmplitude(double preset) override;
    void saDeactivateMarkers() override;
    void saWriteString(const std::string& text) override;
    double measurePower(double preset) override;

private:
    instruments::hp8593e& sa() { return eq_.hp8593e(); }
    int handle() const { return eq_.AnalyzerHandle; }

    instruments::TestEquipment& eq_;
};

}  // namespace kestview::mfgtest
