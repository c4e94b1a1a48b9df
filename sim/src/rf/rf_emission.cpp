#include "vireo/sim/rf_emission.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <nlohmann/json.hpp>

#include "../atomic_file.h"
#include "../noise.h"
#include "rf_constants.h"

namespace vireo::sim {

double channelCentreHz(int channel) {
    if (channel == 14) return 2484e6;
    return (2407.0 + 5.0 * channel) * 1e6;
}

namespace {
double dbToLinear(double db) { return std::pow(10.0, db / 10.0); }
double linearToDb(double lin) { return 10.0 * std::log10(lin); }

// Per-adapter gain offset: a fixed fraction of ±kAdapterSpreadDb derived from the serial number
// (the key when the adapter has none).
double adapterOffsetDb(const AdapterSpec& a) {
    const std::uint64_t h = mix64(seedOf(a.serial.empty() ? a.key : a.serial));
    const double u = double(h % 10007) / 10006.0;
    return rf::kAdapterSpreadDb * (2.0 * u - 1.0);
}
}  // namespace

Emission modelEmission(const AdapterSpec& adapter, int channel, unsigned txPowerControl, bool narrowFilter) {
    using namespace rf;
    Emission e;
    e.transmitting = true;
    e.channel = channel;
    e.centreHz = channelCentreHz(channel);
    e.txPowerControl = txPowerControl;
    e.narrowFilter = narrowFilter;
    const double slope = kGainSlopeDbPerMHz * (e.centreHz / 1e6 - kBandCentreMHz);
    e.outputDbm = kMaxOutputDbm + slope + adapterOffsetDb(adapter) - double(txPowerControl) / kCountsPerDb;
    // Spectral regrowth of the power amplifier, limited from above, over the shaping filter's floor.
    const double regrowth = kRegrowthAtReferenceDbc + kRegrowthDbPerDb * (e.outputDbm - kRegrowthReferenceDbm);
    const double saturated = kSaturatedRegrowthDbc + kSaturatedDbPerDb * (e.outputDbm - kRegrowthReferenceDbm);
    const double limited = 1.0 / (1.0 / dbToLinear(regrowth) + 1.0 / dbToLinear(saturated));
    const double first = linearToDb(dbToLinear(kFirstSidelobeFloorDbc) + limited);
    e.firstSidelobeDbc = first - (narrowFilter ? kFilterFirstSidelobeDb : 0.0);
    e.secondSidelobeDbc = first - kSecondBelowFirstDb - (narrowFilter ? kFilterSecondSidelobeDb : 0.0);
    return e;
}

std::filesystem::path emissionFile(const std::filesystem::path& adapterStateDir) {
    return adapterStateDir / "rf-emission.json";
}

std::string emissionToJson(const Emission& e) {
    nlohmann::json j = {{"transmitting", e.transmitting},
                        {"channel", e.channel},
                        {"centreHz", e.centreHz},
                        {"outputDbm", e.outputDbm},
                        {"firstSidelobeDbc", e.firstSidelobeDbc},
                        {"secondSidelobeDbc", e.secondSidelobeDbc},
                        {"txPowerControl", e.txPowerControl},
                        {"narrowFilter", e.narrowFilter},
                        {"sequence", e.sequence},
                        {"publisher", e.publisher}};
    return j.dump() + "\n";
}

std::optional<Emission> emissionFromJson(std::string_view text) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    try {
        Emission e;
        e.transmitting = j.at("transmitting").get<bool>();
        e.channel = j.at("channel").get<int>();
        e.centreHz = j.at("centreHz").get<double>();
        e.outputDbm = j.at("outputDbm").get<double>();
        e.firstSidelobeDbc = j.at("firstSidelobeDbc").get<double>();
        e.secondSidelobeDbc = j.at("secondSidelobeDbc").get<double>();
        e.txPowerControl = j.at("txPowerControl").get<unsigned>();
        e.narrowFilter = j.at("narrowFilter").get<bool>();
        e.sequence = j.at("sequence").get<unsigned long>();
        e.publisher = j.at("publisher").get<long>();
        const bool sane = std::isfinite(e.centreHz) && std::isfinite(e.outputDbm) && std::isfinite(e.firstSidelobeDbc) &&
                          std::isfinite(e.secondSidelobeDbc) && e.outputDbm > -200 && e.outputDbm < 100 &&
                          e.firstSidelobeDbc < 50 && e.secondSidelobeDbc < 50 && e.centreHz >= 0 && e.centreHz < 1e11;
        if (!sane) return std::nullopt;
        return e;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

Emission readPublishedEmission(const std::filesystem::path& adapterStateDir) {
    const auto text = readWholeFile(emissionFile(adapterStateDir));
    if (!text) return {};
    auto e = emissionFromJson(*text);
    if (!e || !e->transmitting) return {};
    if (e->publisher > 0 && ::kill(pid_t(e->publisher), 0) != 0 && errno == ESRCH) return {};
    return *e;
}

}  // namespace vireo::sim
