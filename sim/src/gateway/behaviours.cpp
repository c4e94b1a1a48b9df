// The behaviours behind the device files: the power meter reads the RF path's power, the spectrum
// analyzer sweeps its trace from the emission and moves its markers over that trace.
#include <array>
#include <cmath>

#include "../noise.h"
#include "../rf/spectrum.h"
#include "instrument.h"

namespace vireo::sim::gateway {

namespace {

class PowerMeter final : public Behaviour {
public:
    std::optional<double> value(Instrument& in, const std::string& function) override {
        if (function != "reading") return std::nullopt;
        const Emission e = in.rf().emission();
        double dbm = powerMeterReading(e, in.rf().lossDb(), mix64(std::uint64_t(e.sequence) ^ ++readings_));
        const PropertyValue& cal = in.property("cal factor");
        if (cal.text.empty() && cal.number > 0) dbm += 10.0 * std::log10(100.0 / cal.number);
        if (sensorB_) dbm = -70.0;  // nothing is connected to sensor B
        return linear_ ? std::pow(10.0, dbm / 10.0) / 1000.0 : dbm;
    }
    bool act(Instrument&, const std::string& action) override {
        if (action == "sensor A" || action == "sensor B") sensorB_ = action == "sensor B";
        else if (action == "log units" || action == "linear units") linear_ = action == "linear units";
        else if (action == "zero" || action == "trigger") return true;
        else if (action == "preset") preset();
        else return false;
        return true;
    }
    void preset() override {
        sensorB_ = false;
        linear_ = false;
    }

private:
    bool sensorB_ = false;
    bool linear_ = false;
    std::uint64_t readings_ = 0;
};

class SpectrumAnalyzer final : public Behaviour {
public:
    std::optional<double> value(Instrument& in, const std::string& function) override {
        if (function == "marker amplitude" || function == "marker frequency") {
            const Trace& t = trace(in);
            Marker& m = activeMarker(in);
            if (!m.on) m = Marker{true, centre(in)};
            if (function == "marker frequency") return t.frequency(t.pointAt(m.hz));
            return t.dbm[t.pointAt(m.hz)] + offset(in);
        }
        return std::nullopt;
    }

    bool act(Instrument& in, const std::string& action) override {
        if (action == "preset") {
            in.resetProperties();
        } else if (action == "activate marker") {
            Marker& m = activeMarker(in);
            if (!m.on) m = Marker{true, centre(in)};
        } else if (action == "peak search" || action == "next peak left" || action == "next peak right") {
            const Trace& t = trace(in);
            Marker& m = activeMarker(in);
            if (action == "peak search" || !m.on) {
                m = Marker{true, t.frequency(highestPeak(t))};
            } else {
                const auto p = nextPeak(t, t.pointAt(m.hz), action == "next peak left" ? -1 : 1, excursion(in));
                if (!p) {
                    in.pushError("NO PEAK");
                    return true;
                }
                m.hz = t.frequency(*p);
            }
        } else if (action == "next highest peak") {
            // The highest peak below the marker's, of those that stand out by the excursion.
            const Trace& t = trace(in);
            Marker& m = activeMarker(in);
            if (!m.on) m = Marker{true, t.frequency(highestPeak(t))};
            const auto p = nextHighestPeak(t, t.pointAt(m.hz), excursion(in));
            if (!p) {
                in.pushError("NO PEAK");
                return true;
            }
            m.hz = t.frequency(*p);
        } else if (action == "centre up" || action == "centre down") {
            // The step key: the centre frequency moves by the frequency step, within its range.
            PropertyValue& cf = in.property("centre frequency");
            const PropertySpec* spec = in.spec("centre frequency");
            const double next = cf.number + (action == "centre up" ? 1 : -1) * in.property("frequency step").number;
            if ((spec->min && next < *spec->min) || (spec->max && next > *spec->max)) in.pushError(in.definition().error.rangeErrorCode);
            else cf.number = next;
        } else if (action == "marker to centre") {
            Marker& m = activeMarker(in);
            if (m.on) in.property("centre frequency").number = m.hz;
        } else if (action == "markers off") {
            for (Marker& m : markers_) m.on = false;
        } else if (action == "marker off") {
            activeMarker(in).on = false;
        } else if (action == "single sweep" || action == "continuous sweep") {
            continuous_ = action == "continuous sweep";
            ++sweeps_;
        } else if (action == "take sweep" || action == "trigger") {
            ++sweeps_;
            held_.reset();
        } else {
            return false;
        }
        return true;
    }

    void preset() override {
        markers_ = {};
        continuous_ = true;
        held_.reset();
    }

private:
    struct Marker {
        bool on = false;
        double hz = 0;
    };

    static double centre(Instrument& in) { return in.property("centre frequency").number; }
    static double offset(Instrument& in) { return in.property("reference offset").number; }
    static double excursion(Instrument& in) { return in.property("peak excursion").number; }

    Marker& activeMarker(Instrument& in) {
        const int n = int(in.property("active marker").number);
        return markers_[std::size_t(std::clamp(n, 1, 4) - 1)];
    }

    // Settings as the analyzer couples them: automatic bandwidths follow the span, the automatic
    // attenuator keeps a signal at the reference level at the mixer level.
    static AnalyzerSettings settings(Instrument& in) {
        AnalyzerSettings s;
        s.centreHz = centre(in);
        s.spanHz = std::max(in.property("span").number, 0.0);
        const PropertyValue& rb = in.property("resolution bandwidth");
        s.rbwHz = rb.text.empty() ? rb.number : coupledResolution(s.spanHz);
        const PropertyValue& vb = in.property("video bandwidth");
        s.vbwHz = vb.text.empty() ? vb.number : s.rbwHz * std::max(in.property("video bandwidth ratio").number, 0.003);
        s.refLevelDbm = in.property("reference level").number - offset(in);
        s.dbPerDiv = in.property("log scale").number;
        const PropertyValue& at = in.property("attenuation");
        s.attenuationDb = at.text.empty()
                              ? at.number
                              : std::clamp(10.0 * std::ceil((s.refLevelDbm - in.property("mixer level").number) / 10.0), 10.0, 70.0);
        return s;
    }

    static double coupledResolution(double span) {
        static constexpr double steps[] = {1e3, 3e3, 10e3, 30e3, 100e3, 300e3, 1e6, 3e6};
        for (double r : steps)
            if (r >= span / 100.0) return r;
        return 3e6;
    }

    // The current trace: recomputed when the emission or a setting changes (or a sweep is taken);
    // a single sweep keeps its trace until the next one.
    const Trace& trace(Instrument& in) {
        const Emission e = in.rf().emission();
        const AnalyzerSettings s = settings(in);
        const double loss = in.rf().lossDb();
        const std::array<double, 12> key{double(e.sequence), double(e.publisher), double(e.transmitting), s.centreHz,
                                         s.spanHz, s.rbwHz, s.vbwHz, s.refLevelDbm, s.dbPerDiv, s.attenuationDb, loss,
                                         double(sweeps_)};
        if (held_ && (!continuous_ || key == key_)) return *held_;
        key_ = key;
        held_ = computeTrace(e, loss, s, mix64(std::uint64_t(e.sequence) * 1315423911u ^ sweeps_));
        return *held_;
    }

    std::array<Marker, 4> markers_{};
    bool continuous_ = true;
    std::uint64_t sweeps_ = 0;
    std::optional<Trace> held_;
    std::array<double, 12> key_{};
};

class DialoguesOnly final : public Behaviour {
public:
    std::optional<double> value(Instrument&, const std::string&) override { return std::nullopt; }
    bool act(Instrument&, const std::string&) override { return false; }
};

}  // namespace

std::unique_ptr<Behaviour> makeBehaviour(const std::string& kind) {
    if (kind == "power meter") return std::make_unique<PowerMeter>();
    if (kind == "spectrum analyzer") return std::make_unique<SpectrumAnalyzer>();
    return std::make_unique<DialoguesOnly>();
}

}  // namespace vireo::sim::gateway
