#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "../noise.h"
#include "rf_constants.h"

namespace vireo::sim {

namespace {
double dbToLinear(double db) { return std::pow(10.0, db / 10.0); }

// A repeatable value in [-1, 1].
double unitNoise(std::uint64_t seed) { return double(mix64(seed) % 20001) / 10000.0 - 1.0; }

// The emission's spectral shape with its levels converted once: a trace asks it for thousands of
// densities, and each conversion is a pow().
class EmissionShape {
public:
    explicit EmissionShape(const Emission& e)
        : transmitting_(e.transmitting),
          centreHz_(e.centreHz),
          floor_(dbToLinear(rf::kTransmitterFloorDbc)),
          firstLobe_(dbToLinear(e.firstSidelobeDbc)),
          secondLobe_(dbToLinear(e.secondSidelobeDbc)),
          // Peak density of the carrier lobe: the lobes together carry the output power.
          carrier_(dbToLinear(e.outputDbm) /
                   (rf::kCarrierHalfWidthMHz + rf::kLobeWidthMHz * (firstLobe_ + secondLobe_))) {}

    // mW per MHz at `hz`.
    double density(double hz) const {
        if (!transmitting_) return 0.0;
        return carrier_ * relativeDensity((hz - centreHz_) / 1e6);
    }

private:
    // The lobe shapes, relative to the carrier lobe's peak density, at `offsetMHz` from the centre.
    double relativeDensity(double offsetMHz) const {
        using namespace rf;
        using std::numbers::pi;
        const double x = std::abs(offsetMHz);
        double d = x <= 50.0 ? floor_ : 0.0;
        if (x < kCarrierHalfWidthMHz) {
            const double c = std::cos(pi * x / (2 * kCarrierHalfWidthMHz));
            d += c * c;
        } else if (x >= kFirstLobeFromMHz && x < kFirstLobeFromMHz + kLobeWidthMHz) {
            const double s = std::sin(pi * (x - kFirstLobeFromMHz) / kLobeWidthMHz);
            d += firstLobe_ * s * s;
        } else if (x >= kSecondLobeFromMHz && x < kSecondLobeFromMHz + kLobeWidthMHz) {
            const double s = std::sin(pi * (x - kSecondLobeFromMHz) / kLobeWidthMHz);
            d += secondLobe_ * s * s;
        }
        return d;
    }

    bool transmitting_;
    double centreHz_, floor_, firstLobe_, secondLobe_, carrier_;
};
}  // namespace

double emissionDensity(const Emission& e, double hz) { return EmissionShape(e).density(hz); }

double powerMeterReading(const Emission& e, double lossDb, std::uint64_t readingSeed) {
    const double noise = rf::kPowerMeterNoiseDb * unitNoise(readingSeed);
    if (!e.transmitting) return rf::kPowerMeterFloorDbm + 10 * noise;
    const double floorMw = dbToLinear(rf::kPowerMeterFloorDbm);
    return 10.0 * std::log10(dbToLinear(e.outputDbm - lossDb) + floorMw) + noise;
}

std::size_t Trace::pointAt(double hz) const {
    if (stepHz <= 0 || dbm.empty()) return 0;
    const double i = std::round((hz - startHz) / stepHz);
    return std::size_t(std::clamp(i, 0.0, double(dbm.size() - 1)));
}

Trace computeTrace(const Emission& e, double lossDb, const AnalyzerSettings& s, std::uint64_t sweepSeed) {
    Trace t;
    t.startHz = s.centreHz - s.spanHz / 2;
    t.stepHz = s.spanHz / double(Trace::kPoints - 1);
    t.dbm.resize(Trace::kPoints);
    const double rbwMHz = std::max(s.rbwHz, 1.0) / 1e6;
    const double noiseMw = dbToLinear(rf::kAnalyzerNoiseDbmPerMHz + s.attenuationDb) * rbwMHz;
    // Residual ripple of the video filter over noise-like signals.
    const double ripple = 0.6 * std::sqrt(std::min(1.0, std::max(s.vbwHz, 1.0) / std::max(s.rbwHz, 1.0)));
    const double bottom = s.refLevelDbm - s.dbPerDiv * s.divisions;
    const double loss = dbToLinear(-lossDb);
    // The resolution filter: Gaussian, `rbw` wide at its 3 dB points, integrated over ±2 bandwidths.
    constexpr int kTaps = 32;
    const double tapMHz = 4.0 * rbwMHz / kTaps;
    double weights[kTaps + 1];
    double weightSum = 0;
    for (int k = 0; k <= kTaps; ++k) {
        const double x = (k - kTaps / 2) * tapMHz / rbwMHz;
        weights[k] = std::exp(-4.0 * std::numbers::ln2 * x * x);
        weightSum += weights[k];
    }
    const double noiseBandwidth = weightSum * tapMHz;  // MHz of density the filter collects
    const EmissionShape shape(e);
    for (std::size_t i = 0; i < Trace::kPoints; ++i) {
        const double f = t.frequency(i);
        double collected = 0;
        if (e.transmitting) {
            for (int k = 0; k <= kTaps; ++k) collected += weights[k] * shape.density(f + (k - kTaps / 2) * tapMHz * 1e6);
            collected *= noiseBandwidth / weightSum * loss;
        }
        const double level = 10.0 * std::log10(collected + noiseMw) + ripple * unitNoise(sweepSeed ^ (i * 0x9E37u));
        t.dbm[i] = std::max(level, bottom);
    }
    return t;
}

std::size_t highestPeak(const Trace& t) {
    return std::size_t(std::max_element(t.dbm.begin(), t.dbm.end()) - t.dbm.begin());
}

namespace {
// The trace falls by `excursion` going from `i` in `direction` before it rises above t[i].
bool fallsAway(const Trace& t, std::size_t i, int direction, double excursion) {
    for (std::ptrdiff_t j = std::ptrdiff_t(i) + direction; j >= 0 && j < std::ptrdiff_t(t.dbm.size()); j += direction) {
        if (t.dbm[std::size_t(j)] > t.dbm[i]) return false;
        if (t.dbm[i] - t.dbm[std::size_t(j)] >= excursion) return true;
    }
    return false;
}
}  // namespace

std::optional<std::size_t> nextPeak(const Trace& t, std::size_t from, int direction, double excursionDb) {
    const double excursion = std::max(excursionDb, 0.0);
    // The marker sits on a signal, not necessarily on its very top (the trace moves under a marker
    // left where an earlier sweep put it): first leave that signal, going past its top until the
    // trace has fallen by the excursion; the next peak is the first one beyond.
    if (from >= t.dbm.size()) return std::nullopt;
    double top = t.dbm[from];
    bool leftSignal = false;
    for (std::ptrdiff_t j = std::ptrdiff_t(from) + direction; j >= 0 && j < std::ptrdiff_t(t.dbm.size()); j += direction) {
        const auto i = std::size_t(j);
        if (!leftSignal) {
            top = std::max(top, t.dbm[i]);
            leftSignal = top - t.dbm[i] >= excursion && t.dbm[i] < top;
            continue;
        }
        if (fallsAway(t, i, -1, excursion) && fallsAway(t, i, +1, excursion)) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> nextHighestPeak(const Trace& t, std::size_t from, double excursionDb) {
    if (from >= t.dbm.size()) return std::nullopt;
    const double excursion = std::max(excursionDb, 0.0);
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < t.dbm.size(); ++i) {
        if (i == from || t.dbm[i] >= t.dbm[from]) continue;
        if (best && t.dbm[i] <= t.dbm[*best]) continue;
        if (fallsAway(t, i, -1, excursion) && fallsAway(t, i, +1, excursion)) best = i;
    }
    return best;
}

}  // namespace vireo::sim
