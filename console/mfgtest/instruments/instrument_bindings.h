// The console's bindings of the two instrument drivers, one method per driver function with the
// driver's own argument list. A call throws BindingError when its library or function is missing.
#pragma once

#include <cstdint>
#include <string>

#include "driver_library.h"
#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"

namespace kestview::instruments {

inline constexpr const char* kPowerMeterLibrary = "libhp438a.so";
inline constexpr const char* kAnalyzerLibrary = "libhp8593e.so";

class hp438a {
public:
    explicit hp438a(std::string file = kPowerMeterLibrary) : lib_("hp438a", std::move(file)) {}
    DriverLibrary& library() { return lib_; }

    int init(int address) { return lib_.call<decltype(::hp438a_init)>("hp438a_init", address); }
    int setup(int h, int a, int b, int c, int d, int e) {
        return lib_.call<decltype(::hp438a_setup)>("hp438a_setup", h, a, b, c, d, e);
    }
    int measure(int h, int channel, double* value) {
        return lib_.call<decltype(::hp438a_measure)>("hp438a_measure", h, channel, value);
    }
    int cal_factor(int h, double percent) { return lib_.call<decltype(::hp438a_cal_factor)>("hp438a_cal_factor", h, percent); }
    int close(int h) { return lib_.call<decltype(::hp438a_close)>("hp438a_close", h); }

private:
    DriverLibrary lib_;
};

class hp8593e {
public:
    explicit hp8593e(std::string file = kAnalyzerLibrary) : lib_("hp8593e", std::move(file)) {}
    DriverLibrary& library() { return lib_; }

    int saInit(int address, int reset) { return lib_.call<decltype(::saInit)>("saInit", address, reset); }
    int saReset(int h) { return lib_.call<decltype(::saReset)>("saReset", h); }
    int saClose(int h) { return lib_.call<decltype(::saClose)>("saClose", h); }
    int saFrequency(int h, float centre, float step) { return lib_.call<decltype(::saFrequency)>("saFrequency", h, centre, step); }
    int saSpan(int h, int mode, float span) { return lib_.call<decltype(::saSpan)>("saSpan", h, mode, span); }
    int saConfigBandwidth(int h, int16_t rbwManual, int rbw, int16_t vbwManual, int16_t averaging, int16_t count, int vbw,
                          double ratio) {
        return lib_.call<decltype(::saConfigBandwidth)>("saConfigBandwidth", h, rbwManual, rbw, vbwManual, averaging, count,
                                                        vbw, ratio);
    }
    int saConfigSweep(int h, int trigger, int continuous, double time) {
        return lib_.call<decltype(::saConfigSweep)>("saConfigSweep", h, trigger, continuous, time);
    }
    int saConfigMarkerPeak(int h, double excursion, int a, int b, int c) {
        return lib_.call<decltype(::saConfigMarkerPeak)>("saConfigMarkerPeak", h, excursion, a, b, c);
    }
    int saConfigMarkerToFunction(int h, int marker, int function) {
        return lib_.call<decltype(::saConfigMarkerToFunction)>("saConfigMarkerToFunction", h, marker, function);
    }
    int saConfigMarkerActivation(int h, int marker, int on) {
        return lib_.call<decltype(::saConfigMarkerActivation)>("saConfigMarkerActivation", h, marker, on);
    }
    int saAmplitude(int h, int a, int b, int c, int d, double perDiv, int e, int f, int g, int i) {
        return lib_.call<decltype(::saAmplitude)>("saAmplitude", h, a, b, c, d, perDiv, e, f, g, i);
    }
    int saAmplitudeLevel(int h, double ref, int a, int b, int c, double mixer, int d, int e) {
        return lib_.call<decltype(::saAmplitudeLevel)>("saAmplitudeLevel", h, ref, a, b, c, mixer, d, e);
    }
    int saActivateMarker(int h, int marker) { return lib_.call<decltype(::saActivateMarker)>("saActivateMarker", h, marker); }
    int saReadMarkerAmplitude(int h, double* dbm) {
        return lib_.call<decltype(::saReadMarkerAmplitude)>("saReadMarkerAmplitude", h, dbm);
    }
    int saDeactivateMarkers(int h) { return lib_.call<decltype(::saDeactivateMarkers)>("saDeactivateMarkers", h); }
    int saWriteString(int h, const std::string& text) {
        return lib_.call<decltype(::saWriteString)>("saWriteString", h, text.c_str());
    }
    int saZoomReadPeak(int h, double* hz, double* dbm) {
        return lib_.call<decltype(::saZoomReadPeak)>("saZoomReadPeak", h, hz, dbm);
    }

private:
    DriverLibrary lib_;
};

}  // namespace kestview::instruments
