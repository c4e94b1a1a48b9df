#include "records.h"

#include <algorithm>

#include "noise.h"
#include "words.h"

namespace vireo::sim {

namespace {

constexpr WORD kSsidWords = 17;  // count + 32 characters
constexpr std::int64_t kQualityPeriodUs = 250'000;

// Rate control bits: 1 = 1 Mb/s, 2 = 2 Mb/s, 4 = 5.5 Mb/s, 8 = 11 Mb/s; the highest allowed rate
// is used.
WORD highestRateBit(WORD control) {
    for (WORD bit : {WORD(8), WORD(4), WORD(2), WORD(1)})
        if (control & bit) return bit;
    return 1;
}

std::vector<WORD> bytesToWords(const BYTE* bytes, std::size_t n) { return packBytes(bytes, n, (n + 1) / 2); }

}  // namespace

std::vector<WORD> countedText(std::string_view text, std::size_t words) {
    const std::size_t n = std::min(text.size(), 2 * (words - 1));
    std::vector<WORD> w = packText(text.substr(0, n), words - 1);
    w.insert(w.begin(), WORD(n));
    return w;
}

std::string countedTextValue(std::span<const WORD> words) {
    std::string s;
    if (words.empty()) return s;
    const std::size_t n = std::min<std::size_t>(words[0], 2 * (words.size() - 1));
    for (std::size_t i = 0; i < n; ++i) s += char(BYTE(words[1 + i / 2] >> ((i % 2) * 8)));
    return s;
}

const std::map<WORD, Records::Definition>& Records::definitions() {
    static const std::map<WORD, Definition> defs = {
        {0xFC00, {1, true}},  {0xFC01, {3, true}},  {0xFC02, {kSsidWords, true}}, {0xFC03, {1, true}},
        {0xFC04, {kSsidWords, true}}, {0xFC05, {1, true}}, {0xFC06, {1, true}}, {0xFC07, {1, true}},
        {0xFC08, {3, true}},  {0xFC09, {1, true}},  {0xFC0A, {1, true}},  {0xFC0B, {1, true}},
        {0xFC0C, {1, true}},  {0xFC0D, {1, true}},  {0xFC0E, {kSsidWords, true}}, {0xFC10, {1, true}},
        {0xFC20, {1, true}},  {0xFC21, {1, true}},  {0xFC23, {1, true}},  {0xFC24, {7, true}},
        {0xFC25, {7, true}},  {0xFC26, {7, true}},  {0xFC27, {7, true}},  {0xFC28, {1, true}},
        {0xFC2A, {1, true}},  {0xFC2C, {1, true}},  {0xFC2D, {1, true}},  {0xFC30, {1, true}},
        {0xFC31, {1, true}},  {0xFC32, {1, true}},  {0xFC33, {1, true}},  {0xFC35, {4, true}},
        {0xFC40, {1, true}},  {0xFC41, {1, true}},  {0xFC42, {1, true}},  {0xFC80, {48, true}},
        {0xFC81, {1, true}},  {0xFC82, {1, true}},  {0xFC83, {1, true}},  {0xFC84, {1, true}},
        {0xFC85, {1, true}},  {0xFCB0, {1, true}},  {0xFCB3, {1, true}},  {0xFCB4, {1, true}},
        {0xFCE0, {1, true}},  {0xFCE1, {2, true}},  {0xFCE2, {4, true}},
        {0xFD00, {1, false}}, {0xFD01, {3, false}}, {0xFD02, {4, false}}, {0xFD03, {5, false}},
        {0xFD04, {5, false}}, {0xFD0A, {6, false}}, {0xFD0B, {4, false}}, {0xFD0C, {5, false}},
        {0xFD0D, {5, false}}, {0xFD10, {1, false}}, {0xFD11, {6, false}}, {0xFD12, {1, false}},
        {0xFD13, {32, false}}, {0xFD20, {4, false}}, {0xFD21, {5, false}}, {0xFD22, {5, false}},
        {0xFD23, {5, false}}, {0xFD40, {1, false}}, {0xFD41, {kSsidWords, false}}, {0xFD42, {3, false}},
        {0xFD43, {3, false}}, {0xFD44, {1, false}}, {0xFD45, {1, false}}, {0xFD46, {3, false}},
        {0xFD47, {1, false}}, {0xFD48, {1, false}}, {0xFD49, {1, false}}, {0xFD4A, {1, false}},
        {0xFD4B, {1, false}}, {0xFD4C, {1, false}}, {0xFD4D, {2, false}}, {0xFD4F, {1, false}},
        {0xFD88, {0, false}}, {0xFDC0, {1, false}}, {0xFDC1, {1, false}}, {0xFDC2, {1, false}},
        {0xFDC3, {1, false}}, {0xFDC6, {3, false}}, {0xFFFE, {1, false}}, {0xFFFF, {21, false}},
    };
    return defs;
}

Records::Records(const AdapterSpec& spec)
    : spec_(spec),
      missing_(spec.missingRecords.begin(), spec.missingRecords.end()),
      stations_(spec.stations ? *spec.stations : stationsAround(spec.key)) {}

void Records::powerOn(const ProductionArea& pda) {
    auto pdr = [&](WORD code, std::vector<WORD> fallback) {
        auto r = findPdr(pda, code);
        return r && r->size() >= fallback.size() ? std::vector<WORD>(r->begin(), r->begin() + fallback.size())
                                                 : fallback;
    };
    const auto mac = pdr(0x0101, bytesToWords(spec_.mac.data(), 6));
    const auto serial = pdr(0x0003, std::vector<WORD>(6, 0));
    const auto nicId = pdr(0x0004, {0x8002, 0, 1, 0});
    const auto domainRec = pdr(0x0103, {1, spec_.domain, 0, 0, 0, 0});
    const auto channels = pdr(0x0104, {0x3FFF});

    values_.clear();
    for (const auto& [rid, def] : definitions()) values_[rid] = std::vector<WORD>(def.words, 0);
    values_[0xFC00] = {1};
    values_[0xFC01] = mac;
    values_[0xFC02] = countedText("", kSsidWords);
    values_[0xFC03] = {spec_.channel};
    values_[0xFC04] = countedText("", kSsidWords);
    values_[0xFC06] = {1};
    values_[0xFC07] = {2304};
    values_[0xFC0B] = {1};
    values_[0xFC0C] = {100};
    values_[0xFC0D] = {100};
    values_[0xFC0E] = countedText("VIREO STATION " + spec_.key, kSsidWords);
    values_[0xFC10] = {1};
    values_[0xFC20] = {1};
    values_[0xFC2A] = {1};
    values_[0xFC2D] = {1};
    values_[0xFC31] = {1024};
    values_[0xFC32] = {4};
    values_[0xFC33] = {100};
    values_[0xFC82] = {2346};
    values_[0xFC83] = {2347};
    values_[0xFC84] = {15};
    values_[0xFCB3] = {3};
    values_[0xFCB4] = {15};
    values_[0xFCE0] = {10};
    values_[0xFD00] = {5000};
    values_[0xFD01] = {0x0060, 0x0000, 0x2000};
    values_[0xFD03] = {0, 4, 1, 1, 1};
    values_[0xFD04] = {1, 1, 1, 1, 1};
    values_[0xFD0A] = serial;
    values_[0xFD0B] = nicId;
    values_[0xFD0C] = {0, 1, 1, 1, 1};
    values_[0xFD0D] = {0, 2, 1, 1, 1};
    values_[0xFD10] = channels;
    values_[0xFD11] = {1, WORD(domainRec[1] & 0xFF), 0, 0, 0, 0};
    values_[0xFD12] = {1};
    values_[0xFD21] = {0, 4, 1, 1, 2};
    values_[0xFD22] = {1, 1, 1, 1, 1};
    values_[0xFD23] = {1, 2, 1, 1, 1};
    values_[0xFD45] = {100};
    values_[0xFD46] = {1, 1, 1};
    values_[0xFD47] = {500};
    values_[0xFD48] = {7};
    values_[0xFD49] = {4};
    values_[0xFD4A] = {512};
    values_[0xFD4B] = {512};
    values_[0xFD4D] = {1, 1};
    values_[0xFD4F] = {1};
    values_[0xFDC0] = {2};
    values_[0xFDC3] = {1};
    values_[0xFDC6] = {4, 0x0402, 0x160B};
    // Card information structure: a short tuple chain (device, manufacturer id, end).
    static constexpr BYTE cis[] = {0x01, 0x03, 0xD9, 0x01, 0xFF, 0x20, 0x04, 0x4F, 0x52, 0x02, 0x00, 0xFF};
    auto cisWords = bytesToWords(cis, sizeof cis);
    std::copy(cisWords.begin(), cisWords.end(), values_[0xFD13].begin());
    ++sweeps_;
}

double Records::txRateMbps() const {
    switch (highestRateBit(values_.at(0xFC84)[0])) {
    case 8: return 11.0;
    case 4: return 5.5;
    case 2: return 2.0;
    default: return 1.0;
    }
}

int Records::stationsOn(WORD channel) const {
    return int(std::count_if(stations_.begin(), stations_.end(), [channel](const Station& s) { return s.channel == channel; }));
}

const Station* Records::joinedStation(const ControllerState& c) const {
    if (!(c.portsEnabled & 1) || c.asleep || c.mode != TestMode::Stopped || values_.at(0xFC00)[0] != 1) return nullptr;
    const std::string wanted = countedTextValue(values_.at(0xFC02));
    const Station* best = nullptr;
    for (const Station& s : stations_) {
        if (!(s.capability & 0x0001)) continue;  // only access points
        if (!wanted.empty() && s.ssid != wanted) continue;
        if (!best || s.signal > best->signal) best = &s;
    }
    return best;
}

void Records::quality(const ControllerState& c, std::int64_t timeUs, std::vector<WORD>& out) const {
    const std::uint64_t seed = seedOf(spec_.key);
    const int noise = jitter(seed ^ 0x43, timeUs, kQualityPeriodUs, 27, 34);
    int signal = jitter(seed ^ 0x44, timeUs, kQualityPeriodUs, 27, 30);
    if (const Station* s = joinedStation(c))
        signal = 27 + s->signal * 158 / 127 + jitter(seed ^ 0x45, timeUs, kQualityPeriodUs, -3, 3);
    signal = std::clamp(signal, 27, 185);
    const int quality = std::clamp(signal - noise, 0, 92);
    out = {WORD(quality), WORD(signal), WORD(noise)};
}

std::vector<WORD> Records::sweepTable(std::int64_t) const {
    // Two leading words (entries found, sweep number), then 31 words per station.
    std::vector<WORD> w{WORD(stations_.size()), WORD(sweeps_)};
    const std::uint64_t seed = seedOf(spec_.key) ^ sweeps_;
    for (const Station& s : stations_) {
        const WORD signal = WORD(std::clamp(int(s.signal) + jitter(seed ^ s.channel, 0, 1, -2, 2), 0, 127));
        w.push_back(s.channel);
        w.push_back(s.noise);
        w.push_back(signal);
        for (WORD x : bytesToWords(s.bssid.data(), 6)) w.push_back(x);
        w.push_back(s.beaconInterval);
        w.push_back(s.capability);
        w.push_back(WORD(s.ssid.size()));
        const auto ssid = packText(s.ssid, 16);
        w.insert(w.end(), ssid.begin(), ssid.end());
        for (WORD x : bytesToWords(s.rates.data(), 10)) w.push_back(x);
        w.push_back(s.probeRate);
    }
    return w;
}

void Records::present(WORD rid, std::vector<WORD> data, std::optional<WORD> lengthWord) {
    missing_.erase(rid);
    presented_[rid] = Presented{std::move(data), lengthWord};
}

NDIS_STATUS Records::read(WORD rid, std::vector<WORD>& data, WORD& lengthWord, const View& view) const {
    if (auto p = presented_.find(rid); p != presented_.end()) {
        data = p->second.data;
        lengthWord = p->second.lengthWord.value_or(WORD(data.size() + 1));
        return NDIS_STATUS_SUCCESS;
    }
    const NDIS_STATUS s = readDefined(rid, data, view);
    lengthWord = WORD(data.size() + 1);
    return s;
}

NDIS_STATUS Records::readDefined(WORD rid, std::vector<WORD>& data, const View& view) const {
    if (!definitions().count(rid) || missing_.count(rid)) return NDIS_STATUS_FAILURE;
    const ControllerState& c = view.controller;
    switch (rid) {
    case 0xFD02:
        data.assign(view.firmware.primaryVersion.begin(), view.firmware.primaryVersion.end());
        return NDIS_STATUS_SUCCESS;
    case 0xFD20:
        data.assign(view.firmware.stationVersion.begin(), view.firmware.stationVersion.end());
        return NDIS_STATUS_SUCCESS;
    case 0xFFFE:
        data = {view.firmware.buildSequence};
        return NDIS_STATUS_SUCCESS;
    case 0xFFFF:
        data = countedText(view.firmware.fileNames, 21);
        return NDIS_STATUS_SUCCESS;
    case 0xFD40: {
        // 1 disabled, 2 searching, 3 joined an access point, 4 in an IBSS.
        const WORD portType = values_.at(0xFC00)[0];
        WORD status = 1;
        if ((c.portsEnabled & 1) && !c.asleep)
            status = joinedStation(c) ? 3 : (portType == 3 || portType == 4) && c.mode == TestMode::Stopped ? 4 : 2;
        data = {status};
        return NDIS_STATUS_SUCCESS;
    }
    case 0xFD41:
    case 0xFD42: {
        const Station* s = joinedStation(c);
        if (rid == 0xFD41)
            data = countedText(s ? s->ssid : "", kSsidWords);
        else
            data = s ? bytesToWords(s->bssid.data(), 6) : std::vector<WORD>(3, 0);
        return NDIS_STATUS_SUCCESS;
    }
    case 0xFD43:
        quality(c, view.timeUs, data);
        return NDIS_STATUS_SUCCESS;
    case 0xFD44:
        data = {highestRateBit(values_.at(0xFC84)[0])};
        return NDIS_STATUS_SUCCESS;
    case 0xFD88:
        data = sweepTable(view.timeUs);
        return NDIS_STATUS_SUCCESS;
    case 0xFDC1:
        data = {c.channel};
        return NDIS_STATUS_SUCCESS;
    case 0xFDC2:
        data = {WORD(c.asleep ? 1 : 0)};
        return NDIS_STATUS_SUCCESS;
    default:
        data = values_.at(rid);
        return NDIS_STATUS_SUCCESS;
    }
}

NDIS_STATUS Records::write(WORD rid, std::span<const WORD> data) {
    if (auto p = presented_.find(rid); p != presented_.end()) {
        if (data.size() != p->second.data.size()) return NDIS_STATUS_INVALID_DATA;
        p->second.data.assign(data.begin(), data.end());
        return NDIS_STATUS_SUCCESS;
    }
    auto def = definitions().find(rid);
    if (def == definitions().end() || missing_.count(rid)) return NDIS_STATUS_FAILURE;
    if (!def->second.writable) return NDIS_STATUS_NOT_SUPPORTED;
    if (data.size() != def->second.words) return NDIS_STATUS_INVALID_DATA;
    auto within = [&](WORD lo, WORD hi) { return data[0] >= lo && data[0] <= hi; };
    switch (rid) {
    case 0xFC00:
        if (!within(1, 6)) return NDIS_STATUS_INVALID_DATA;
        break;
    case 0xFC03:
        if (!within(1, 14)) return NDIS_STATUS_INVALID_DATA;
        break;
    case 0xFC84:
        if (!within(1, 15)) return NDIS_STATUS_INVALID_DATA;
        break;
    case 0xFC02:
    case 0xFC04:
    case 0xFC0E:
        if (data[0] > 32) return NDIS_STATUS_INVALID_DATA;
        break;
    case 0xFCE1:
        ++sweeps_;  // a scan request runs a new sweep
        break;
    default:
        break;
    }
    values_[rid].assign(data.begin(), data.end());
    return NDIS_STATUS_SUCCESS;
}

}  // namespace vireo::sim
