// The process-wide table of devices: one per (bench file, adapter key), so that reopening an
// adapter finds the same device with its volatile state.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "atomic_file.h"
#include "noise.h"
#include "vireo/sim/bench.h"

namespace vireo::sim {

namespace fs = std::filesystem;

fs::path stateRoot() {
    if (const char* p = std::getenv("ORU_BENCH_STATE"); p && *p) return p;
    if (const char* p = std::getenv("XDG_STATE_HOME"); p && *p) return fs::path(p) / "oru" / "bench";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "state" / "oru" / "bench";
}

namespace {
// Adapter keys may hold characters a file name cannot; those are written as %XX.
std::string fileNameOf(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || (c == '.' && !out.empty())) {
            out += c;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", unsigned(static_cast<unsigned char>(c)));
            out += buf;
        }
    }
    return out;
}
}  // namespace

fs::path adapterStateDir(const BenchSpec& bench, const AdapterSpec& adapter) {
    char id[24];
    std::snprintf(id, sizeof id, "-%08x", unsigned(seedOf(bench.file.string())));
    return stateRoot() / (fileNameOf(bench.file.stem().string()) + id) / fileNameOf(adapter.key);
}

namespace {
struct Table {
    std::mutex mutex;
    struct Bench {
        std::string text;
        BenchSpec spec;
        std::map<std::string, std::shared_ptr<Device>> devices;
    };
    std::map<fs::path, Bench> benches;
};
Table& table() {
    static Table t;
    return t;
}
}  // namespace

std::shared_ptr<Device> openDevice(const fs::path& benchFile, std::string_view adapterKey) {
    std::error_code ec;
    const fs::path path = fs::weakly_canonical(fs::absolute(benchFile, ec), ec);
    auto text = readWholeFile(path);
    if (!text) throw BenchError(path.string() + ": cannot be read");
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.benches.find(path);
    if (it == t.benches.end() || it->second.text != *text) {
        // A new or changed bench file: its adapters start again from their power-on state.
        Table::Bench b{*text, parseBench(*text, path), {}};
        it = t.benches.insert_or_assign(path, std::move(b)).first;
    }
    Table::Bench& bench = it->second;
    const AdapterSpec* spec = bench.spec.adapter(adapterKey);
    if (!spec) throw BenchError(path.string() + ": no adapter has the key \"" + std::string(adapterKey) + "\"");
    auto& device = bench.devices[spec->key];
    if (!device) device = std::make_shared<Device>(*spec, adapterStateDir(bench.spec, *spec), journal());
    return device;
}

void forgetDevices() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    t.benches.clear();
}

}  // namespace vireo::sim
