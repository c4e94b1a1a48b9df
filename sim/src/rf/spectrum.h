// What the simulated instruments measure of an emission: the power meter's reading and the
// spectrum analyzer's trace, and the marker searches over a trace. Plain functions of their inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "vireo/sim/rf_emission.h"

namespace vireo::sim {

// Power spectral density of the emission at the adapter's connector, mW per MHz, at `hz`.
double emissionDensity(const Emission& e, double hz);

// The power meter's reading (dBm) of the emission through `lossDb`: the output power less the
// loss with a small repeatable noise, or the sensor's floor when nothing radiates.
double powerMeterReading(const Emission& e, double lossDb, std::uint64_t readingSeed);

struct AnalyzerSettings {
    double centreHz = 1.5e9;
    double spanHz = 3e9;
    double rbwHz = 3e6;
    double vbwHz = 1e6;
    double refLevelDbm = 0;
    double dbPerDiv = 10;
    int divisions = 8;
    double attenuationDb = 10;
};

struct Trace {
    static constexpr std::size_t kPoints = 401;
    double startHz = 0;
    double stepHz = 0;
    std::vector<double> dbm;
    double frequency(std::size_t i) const { return startHz + stepHz * double(i); }
    // The point nearest `hz`, clamped to the trace.
    std::size_t pointAt(double hz) const;
};

// The analyzer's trace of the emission through `lossDb` (its own noise floor included; points below
// the bottom of the screen sit on the bottom line). `sweepSeed` makes the video ripple repeatable.
Trace computeTrace(const Emission& e, double lossDb, const AnalyzerSettings& s, std::uint64_t sweepSeed);

// The highest point of the trace.
std::size_t highestPeak(const Trace& t);
// The next peak left (direction -1) or right (+1) of the signal at `from`: going that way, past the
// top of the signal `from` is on until the trace has fallen by `excursionDb`, the nearest point
// that is a peak (the trace falls by at least `excursionDb` on both sides of it before rising above
// it again). nullopt: none.
std::optional<std::size_t> nextPeak(const Trace& t, std::size_t from, int direction, double excursionDb);
// The highest peak (as nextPeak counts peaks) lower than the point at `from`, on either side.
std::optional<std::size_t> nextHighestPeak(const Trace& t, std::size_t from, double excursionDb);

}  // namespace vireo::sim
