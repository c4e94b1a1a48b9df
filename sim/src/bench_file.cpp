#include "vireo/sim/bench_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "data_file.h"
#include "production_data.h"
#include "words.h"

namespace vireo::sim {

using nlohmann::json;
namespace fs = std::filesystem;

const char* basebandName(BasebandModel m) {
    switch (m) {
    case BasebandModel::None: return "none";
    case BasebandModel::Alder: return "alder";
    case BasebandModel::BirchS: return "birch-s";
    case BasebandModel::BirchA: return "birch-a";
    case BasebandModel::BirchB: return "birch-b";
    case BasebandModel::Cedar: return "cedar";
    }
    return "unknown";
}

bool isBirchFamily(BasebandModel m) {
    return m == BasebandModel::BirchS || m == BasebandModel::BirchA || m == BasebandModel::BirchB ||
           m == BasebandModel::Cedar;
}

const AdapterSpec* BenchSpec::adapter(std::string_view key) const {
    for (const auto& a : adapters)
        if (a.key == key) return &a;
    return nullptr;
}

namespace {

// Reads one JSON object, naming every problem by its path in the file.
class Reader {
public:
    Reader(const json& j, std::string path) : j_(j), path_(std::move(path)) {
        if (!j_.is_object()) fail("expected an object");
    }

    [[noreturn]] void fail(const std::string& what) const { throw BenchError(path_.empty() ? what : path_ + ": " + what); }
    [[noreturn]] static void failAt(const std::string& path, const std::string& what) {
        throw BenchError(path + ": " + what);
    }

    void allow(std::initializer_list<const char*> names) const {
        for (const auto& item : j_.items()) {
            const std::string& k = item.key();
            if (std::none_of(names.begin(), names.end(), [&](const char* n) { return k == n; }))
                failAt(at(k), "unknown field");
        }
    }
    bool has(const char* name) const { return j_.contains(name); }
    std::string at(const std::string& name) const { return path_.empty() ? name : path_ + "." + name; }
    const json& raw(const char* name) const { return j_.at(name); }

    std::string text(const char* name, std::optional<std::string> fallback = std::nullopt) const {
        if (!has(name)) {
            if (!fallback) failAt(at(name), "missing");
            return *fallback;
        }
        if (!j_[name].is_string()) failAt(at(name), "expected a text");
        return j_[name].get<std::string>();
    }
    bool flag(const char* name, bool fallback) const {
        if (!has(name)) return fallback;
        if (!j_[name].is_boolean()) failAt(at(name), "expected true or false");
        return j_[name].get<bool>();
    }
    double number(const char* name, double fallback) const {
        if (!has(name)) return fallback;
        if (!j_[name].is_number()) failAt(at(name), "expected a number");
        return j_[name].get<double>();
    }
    // A whole number given as a JSON number or as a text ("0x3F0000", "FD13" with hex = true).
    std::uint64_t integer(const char* name, std::uint64_t fallback, std::uint64_t max) const {
        if (!has(name)) return fallback;
        return integerValue(j_[name], at(name), max);
    }

    static std::uint64_t integerValue(const json& v, const std::string& path, std::uint64_t max, bool hex = false) {
        std::uint64_t n = 0;
        if (v.is_number_unsigned()) {
            n = v.get<std::uint64_t>();
        } else if (v.is_string()) {
            std::string s = v.get<std::string>();
            int base = hex ? 16 : 10;
            if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
                s = s.substr(2);
                base = 16;
            }
            const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n, base);
            if (s.empty() || ec != std::errc() || end != s.data() + s.size())
                failAt(path, "expected a whole number (decimal, or hexadecimal with 0x)");
        } else {
            failAt(path, "expected a whole number");
        }
        if (n > max) failAt(path, "must not exceed " + std::to_string(max));
        return n;
    }

private:
    const json& j_;
    std::string path_;
};

std::array<BYTE, 6> parseMac(const std::string& text, const std::string& path) {
    std::array<BYTE, 6> mac{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= text.size() || (text[pos] != ':' && text[pos] != '-')) pos = std::string::npos;
            else ++pos;
        }
        unsigned v = 0;
        if (pos == std::string::npos || pos + 2 > text.size() ||
            std::from_chars(text.data() + pos, text.data() + pos + 2, v, 16).ptr != text.data() + pos + 2)
            Reader::failAt(path, "expected six hexadecimal bytes such as \"00:60:1D:12:34:56\"");
        mac[i] = BYTE(v);
        pos += 2;
    }
    if (pos != text.size()) Reader::failAt(path, "expected six hexadecimal bytes such as \"00:60:1D:12:34:56\"");
    return mac;
}

BasebandModel parseBaseband(const json& v, const std::string& path) {
    if (v.is_number_unsigned()) return BasebandModel(Reader::integerValue(v, path, 0xFFFF));
    if (v.is_string()) {
        for (BasebandModel m : {BasebandModel::None, BasebandModel::Alder, BasebandModel::BirchS,
                                BasebandModel::BirchA, BasebandModel::BirchB, BasebandModel::Cedar})
            if (v.get<std::string>() == basebandName(m)) return m;
    }
    Reader::failAt(path, "expected alder, birch-s, birch-a, birch-b, cedar, none or a model code");
}

// "major.minor.variant" -> component id, variant, major, minor
std::array<WORD, 4> parseVersion(const Reader& r, const char* name, WORD id, std::array<WORD, 4> fallback) {
    if (!r.has(name)) return fallback;
    const std::string text = r.text(name);
    unsigned parts[3] = {0, 0, 0};
    std::istringstream in(text);
    char dot1 = 0, dot2 = 0;
    if (!(in >> parts[0] >> dot1 >> parts[1] >> dot2 >> parts[2]) || dot1 != '.' || dot2 != '.' || !in.eof() ||
        parts[0] > 0xFFFF || parts[1] > 0xFFFF || parts[2] > 0xFFFF)
        Reader::failAt(r.at(name), "expected major.minor.variant, such as \"1.3.2\"");
    return {id, WORD(parts[2]), WORD(parts[0]), WORD(parts[1])};
}

DWORD parseDriverVersion(const Reader& r) {
    if (!r.has("driverVersion")) return 0x00020001;
    const std::string text = r.text("driverVersion");
    unsigned major = 0, minor = 0;
    char dot = 0;
    std::istringstream in(text);
    if (!(in >> major >> dot >> minor) || dot != '.' || !in.eof() || major > 0xFFFF || minor > 0xFFFF)
        Reader::failAt(r.at("driverVersion"), "expected major.minor, such as \"2.1\"");
    return DWORD(major << 16 | minor);
}

Station parseStation(const json& j, const std::string& path) {
    Reader r(j, path);
    r.allow({"bssid", "ssid", "channel", "signal", "noise", "beaconInterval", "capability", "rates", "probeRate"});
    Station s;
    s.bssid = parseMac(r.text("bssid"), r.at("bssid"));
    s.ssid = r.text("ssid", "");
    if (s.ssid.size() > 32) r.failAt(r.at("ssid"), "at most 32 characters");
    s.channel = WORD(r.integer("channel", 1, 14));
    if (s.channel < 1) r.failAt(r.at("channel"), "must be 1 to 14");
    s.signal = WORD(r.integer("signal", 64, 127));
    s.noise = WORD(r.integer("noise", 10, 127));
    s.beaconInterval = WORD(r.integer("beaconInterval", 100, 0xFFFF));
    s.capability = WORD(r.integer("capability", 0x0001, 0xFFFF));
    if (r.has("rates")) {
        const json& list = r.raw("rates");
        if (!list.is_array() || list.size() > s.rates.size())
            r.failAt(r.at("rates"), "expected a list of at most 10 rate bytes such as \"0x82\"");
        for (std::size_t i = 0; i < list.size(); ++i)
            s.rates[i] = BYTE(Reader::integerValue(list[i], r.at("rates") + "[" + std::to_string(i) + "]", 0xFF));
    } else {
        s.rates = {0x82, 0x84, 0x0B, 0x16};
    }
    s.probeRate = WORD(r.integer("probeRate", 110, 0xFFFF));
    return s;
}

void checkRegistryName(const std::string& name, const std::string& path) {
    if (name.empty() || name.size() > 255 || name.find('\\') != std::string::npos)
        Reader::failAt(path, "must be 1 to 255 characters without a backslash");
}

AdapterSpec parseAdapter(const json& j, const std::string& path) {
    Reader r(j, path);
    r.allow({"key", "service", "driverDesc", "title", "vireo", "baseband", "mac", "serial", "driverVersion", "domain",
             "channel", "firmware", "productionData", "missingRecords", "records", "stations", "quirks", "faults"});
    AdapterSpec a;
    a.key = r.text("key");
    checkRegistryName(a.key, r.at("key"));
    a.service = r.text("service");
    checkRegistryName(a.service, r.at("service"));
    a.driverDesc = r.text("driverDesc");
    a.title = r.text("title", a.driverDesc);
    a.vireo = r.flag("vireo", true);
    if (r.has("baseband")) a.baseband = parseBaseband(r.raw("baseband"), r.at("baseband"));
    if (a.vireo && !r.has("baseband")) r.failAt(r.at("baseband"), "missing (a Vireo adapter has a baseband)");
    a.mac = parseMac(r.text("mac"), r.at("mac"));
    a.serial = r.text("serial", "");
    if (a.serial.size() > 12 ||
        std::any_of(a.serial.begin(), a.serial.end(), [](char c) { return c < 0x20 || c > 0x7E; }))
        r.failAt(r.at("serial"), "at most 12 printable characters");
    a.driverVersion = parseDriverVersion(r);
    a.domain = BYTE(r.integer("domain", 0x10, 0xFF));
    a.channel = WORD(r.integer("channel", 1, 14));
    if (a.channel < 1) r.failAt(r.at("channel"), "must be 1 to 14");

    if (r.has("firmware")) {
        Reader f(r.raw("firmware"), r.at("firmware"));
        f.allow({"primaryFile", "stationFile", "buildSequence", "primaryVersion", "stationVersion"});
        a.firmware.primaryFile = f.text("primaryFile", a.firmware.primaryFile);
        a.firmware.stationFile = f.text("stationFile", a.firmware.stationFile);
        if (a.firmware.primaryFile.size() + a.firmware.stationFile.size() + 1 > 40)
            f.fail("the two file names take more than the 40 characters the firmware reports");
        a.firmware.buildSequence = WORD(f.integer("buildSequence", a.firmware.buildSequence, 0xFFFF));
        a.firmware.primaryVersion = parseVersion(f, "primaryVersion", 21, a.firmware.primaryVersion);
        a.firmware.stationVersion = parseVersion(f, "stationVersion", 31, a.firmware.stationVersion);
    }
    if (r.has("productionData")) {
        const json& list = r.raw("productionData");
        if (!list.is_array()) r.failAt(r.at("productionData"), "expected a list of records");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = r.at("productionData") + "[" + std::to_string(i) + "]";
            Reader rec(list[i], p);
            rec.allow({"code", "words"});
            PdrSpec pdr;
            pdr.code = WORD(rec.integer("code", 0, 0xFFFF));
            if (pdr.code == 0) rec.failAt(rec.at("code"), "missing or 0 (code 0 is the end record)");
            if (!rec.has("words") || !rec.raw("words").is_array()) rec.failAt(rec.at("words"), "expected a list of words");
            const json& words = rec.raw("words");
            for (std::size_t k = 0; k < words.size(); ++k)
                pdr.words.push_back(WORD(Reader::integerValue(words[k], rec.at("words") + "[" + std::to_string(k) + "]", 0xFFFF)));
            a.productionData.push_back(std::move(pdr));
        }
    }
    if (r.has("missingRecords")) {
        const json& list = r.raw("missingRecords");
        if (!list.is_array()) r.failAt(r.at("missingRecords"), "expected a list of record numbers such as \"FD13\"");
        for (std::size_t i = 0; i < list.size(); ++i)
            a.missingRecords.push_back(
                WORD(Reader::integerValue(list[i], r.at("missingRecords") + "[" + std::to_string(i) + "]", 0xFFFF, true)));
    }
    if (r.has("records")) {
        const json& list = r.raw("records");
        if (!list.is_array()) r.failAt(r.at("records"), "expected a list of {\"rid\", \"words\"} records");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = r.at("records") + "[" + std::to_string(i) + "]";
            Reader rec(list[i], p);
            rec.allow({"rid", "words", "lengthWord"});
            if (!rec.has("rid")) rec.failAt(rec.at("rid"), "missing");
            RecordSpec record;
            record.rid = WORD(Reader::integerValue(rec.raw("rid"), rec.at("rid"), 0xFFFF, true));
            if (!rec.has("words") || !rec.raw("words").is_array()) rec.failAt(rec.at("words"), "expected a list of words");
            const json& words = rec.raw("words");
            if (words.size() > 250) rec.failAt(rec.at("words"), "at most 250 data words fit in the record buffer");
            for (std::size_t k = 0; k < words.size(); ++k)
                record.words.push_back(WORD(Reader::integerValue(words[k], rec.at("words") + "[" + std::to_string(k) + "]", 0xFFFF)));
            if (rec.has("lengthWord")) record.lengthWord = WORD(rec.integer("lengthWord", 0, 0xFFFF));
            a.records.push_back(std::move(record));
        }
    }
    if (r.has("stations")) {
        const json& list = r.raw("stations");
        if (!list.is_array()) r.failAt(r.at("stations"), "expected a list of stations");
        // One sweep table entry of 31 words per station, within the 250 data words of a record.
        if (list.size() > 8) r.failAt(r.at("stations"), "at most 8 stations fit in the sweep results record");
        a.stations.emplace();
        for (std::size_t i = 0; i < list.size(); ++i)
            a.stations->push_back(parseStation(list[i], r.at("stations") + "[" + std::to_string(i) + "]"));
    }
    if (r.has("quirks")) {
        Reader q(r.raw("quirks"), r.at("quirks"));
        q.allow({"commandQueryRefused", "commandSetBytesNeeded", "refusedOids"});
        a.quirks.commandQueryRefused = q.flag("commandQueryRefused", false);
        a.quirks.commandSetBytesNeeded = DWORD(q.integer("commandSetBytesNeeded", 0, 0xFFFFFFFF));
        if (q.has("refusedOids")) {
            const json& list = q.raw("refusedOids");
            if (!list.is_array()) q.failAt(q.at("refusedOids"), "expected a list of OIDs such as \"0xFF02018D\"");
            for (std::size_t i = 0; i < list.size(); ++i)
                a.quirks.refusedOids.push_back(
                    NDIS_OID(Reader::integerValue(list[i], q.at("refusedOids") + "[" + std::to_string(i) + "]", 0xFFFFFFFF)));
        }
    }
    if (r.has("faults")) {
        Reader f(r.raw("faults"), r.at("faults"));
        f.allow({"writesDoNotStick", "refusedCommands", "refusedRecordWrites"});
        auto words = [&f](const char* name, const char* example, std::vector<WORD>& out) {
            if (!f.has(name)) return;
            const json& list = f.raw(name);
            if (!list.is_array()) f.failAt(f.at(name), std::string("expected a list such as ") + example);
            for (std::size_t i = 0; i < list.size(); ++i)
                out.push_back(WORD(Reader::integerValue(list[i], f.at(name) + "[" + std::to_string(i) + "]", 0xFFFF, true)));
        };
        words("refusedCommands", "[\"0x0838\"]", a.faults.refusedCommands);
        words("refusedRecordWrites", "[\"FC84\"]", a.faults.refusedRecordWrites);
        if (f.has("writesDoNotStick")) {
            const json& list = f.raw("writesDoNotStick");
            if (!list.is_array()) f.failAt(f.at("writesDoNotStick"), "expected a list of {\"from\", \"to\"} ranges");
            for (std::size_t i = 0; i < list.size(); ++i) {
                Reader range(list[i], f.at("writesDoNotStick") + "[" + std::to_string(i) + "]");
                range.allow({"from", "to"});
                MemoryRange m{std::uint32_t(range.integer("from", 0, 0xFFFFFFFF)),
                              std::uint32_t(range.integer("to", 0xFFFFFFFF, 0xFFFFFFFF))};
                if (m.to < m.from) range.fail("\"to\" lies below \"from\"");
                a.faults.writesDoNotStick.push_back(m);
            }
        }
    }
    try {
        factoryProductionArea(a);
    } catch (const std::length_error&) {
        r.failAt(r.at("productionData"), "the records do not fit in the 1024-byte production data area");
    }
    return a;
}

std::optional<InstrumentSpec> parseInstrument(const Reader& r, const char* name, std::initializer_list<const char*> models,
                                              const fs::path& benchFile) {
    if (!r.has(name)) return std::nullopt;
    Reader i(r.raw(name), r.at(name));
    i.allow({"model", "gpibAddress", "deviceFile"});
    InstrumentSpec spec;
    spec.model = i.text("model");
    if (std::none_of(models.begin(), models.end(), [&](const char* m) { return spec.model == m; })) {
        std::string known;
        for (const char* m : models) known += std::string(known.empty() ? "" : ", ") + "\"" + m + "\"";
        i.failAt(i.at("model"), "unknown model (known: " + known + ")");
    }
    if (i.has("gpibAddress")) spec.gpibAddress = int(i.integer("gpibAddress", 0, 30));
    if (i.has("deviceFile")) {
        const fs::path file = i.text("deviceFile");
        if (file.empty()) i.failAt(i.at("deviceFile"), "must name a file");
        spec.deviceFile = (file.is_absolute() ? file : benchFile.parent_path() / file).lexically_normal().string();
    }
    return spec;
}

// Follows a parse to the value it stopped at, so that a number the reader refuses (one too large
// for a double) is named by its place in the file.
class ValuePath : public json::json_sax_t {
public:
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(json::number_integer_t) override { return value(); }
    bool number_unsigned(json::number_unsigned_t) override { return value(); }
    bool number_float(json::number_float_t, const std::string&) override { return value(); }
    bool string(std::string&) override { return value(); }
    bool binary(json::binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(std::string& name) override {
        frames_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string& token, const json::exception&) override {
        token_ = token;
        return false;
    }
    const std::string& token() const { return token_; }

    // The place of the value being read when the parse stopped, such as "adapters[0].name".
    std::string path() const {
        std::string out;
        for (const Frame& f : frames_) {
            if (f.array) out += "[" + std::to_string(f.elements) + "]";
            else if (!f.key.empty()) out += (out.empty() ? "" : ".") + f.key;
        }
        return out;
    }

private:
    struct Frame {
        bool array = false;
        std::size_t elements = 0;  // values of an array read so far
        std::string key;           // the member being read in an object
    };
    bool value() {
        if (!frames_.empty() && frames_.back().array) ++frames_.back().elements;
        return true;
    }
    bool open(bool array) {
        frames_.push_back({array, 0, {}});
        return true;
    }
    bool close() {
        frames_.pop_back();
        return value();
    }
    std::vector<Frame> frames_;
    std::string token_;
};

json parseJson(const std::string& text, const std::string& where) {
    try {
        return json::parse(text);
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        if (auto p = what.find("] "); p != std::string::npos) what = what.substr(p + 2);
        throw BenchError(where + ": not valid JSON: " + what);
    } catch (const json::exception&) {
        // The text is well formed but holds a number beyond the range of a double.
        ValuePath place;
        json::sax_parse(text, &place);
        const std::string path = place.path();
        throw BenchError(where + ": " + (path.empty() ? "" : path + ": ") + place.token() + " is too large for a number");
    }
}

}  // namespace

BenchSpec parseBench(const std::string& text, const fs::path& file) {
    const std::string where = file.string();
    const json root = parseJson(text, where);
    try {
        Reader r(root, "");
        r.allow({"name", "adapters", "rfCable", "instruments"});
        BenchSpec bench;
        bench.file = file;
        bench.name = r.text("name", file.stem().string());
        if (!r.has("adapters") || !r.raw("adapters").is_array() || r.raw("adapters").empty())
            r.failAt(r.at("adapters"), "expected a list of at least one adapter");
        const json& adapters = r.raw("adapters");
        for (std::size_t i = 0; i < adapters.size(); ++i) {
            const std::string path = "adapters[" + std::to_string(i) + "]";
            AdapterSpec a = parseAdapter(adapters[i], path);
            for (const auto& b : bench.adapters) {
                if (equalsNoCase(a.key, b.key)) Reader::failAt(path + ".key", "\"" + a.key + "\" is used twice");
                if (equalsNoCase(a.service, b.service))
                    Reader::failAt(path + ".service", "\"" + a.service + "\" is used twice");
            }
            bench.adapters.push_back(std::move(a));
        }
        if (r.has("rfCable")) {
            Reader c(r.raw("rfCable"), r.at("rfCable"));
            c.allow({"adapter", "lossDb"});
            bench.rfCable.adapterKey = c.text("adapter");
            const AdapterSpec* fed = bench.adapter(bench.rfCable.adapterKey);
            if (!fed) c.failAt(c.at("adapter"), "no adapter has the key \"" + bench.rfCable.adapterKey + "\"");
            if (!fed->vireo) c.failAt(c.at("adapter"), "\"" + fed->key + "\" is not a Vireo adapter and has no radio to test");
            bench.rfCable.lossDb = c.number("lossDb", 0.0);
            if (bench.rfCable.lossDb < 0 || bench.rfCable.lossDb > 60) c.failAt(c.at("lossDb"), "must be 0 to 60 dB");
        }
        if (r.has("instruments")) {
            Reader in(r.raw("instruments"), r.at("instruments"));
            in.allow({"powerMeter", "spectrumAnalyzer", "gatewayPort"});
            bench.powerMeter = parseInstrument(in, "powerMeter", {"HP 438A"}, file);
            bench.spectrumAnalyzer = parseInstrument(in, "spectrumAnalyzer", {"HP 8593E"}, file);
            bench.gatewayPort = int(in.integer("gatewayPort", 1234, 65535));
            if (bench.gatewayPort < 1) in.failAt(in.at("gatewayPort"), "must be 1 to 65535");
        }
        return bench;
    } catch (const BenchError& e) {
        throw BenchError(where + ": " + e.what());
    } catch (const json::exception& e) {
        throw BenchError(where + ": " + e.what());
    }
}

BenchSpec loadBench(const fs::path& file) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    if (ec) absolute = file;
    std::ifstream in(absolute, std::ios::binary);
    if (!in) throw BenchError(absolute.string() + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return parseBench(text.str(), fs::weakly_canonical(absolute, ec));
}

fs::path defaultBenchFile() {
    if (const auto file = findDataFile("benches", "default.json")) {
        std::error_code ec;
        return fs::weakly_canonical(*file, ec);
    }
    throw BenchError("the default bench (sim/benches/default.json) was not found");
}

}  // namespace vireo::sim
