#include "vireo/sim/testing/test_bench.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vireo::sim::testing {

namespace fs = std::filesystem;

namespace {
fs::path requiredPath(const char* variable) {
    const char* v = std::getenv(variable);
    if (!v || !*v)
        throw std::runtime_error(std::string("TestBench needs $") + variable +
                                 " (tests run with scratch paths; never the user's own)");
    return v;
}

// Tests of one binary may run at once in separate processes (ctest -j): each process gets its own
// hive and state folder below the harness's scratch paths. A harness that sets only the scratch
// hive gets the bench state beside it, never the user's.
void useProcessScratch() {
    static const bool done = [] {
        const fs::path hive = requiredPath("ORU_REGISTRY");
        const char* s = std::getenv("ORU_BENCH_STATE");
        const fs::path state = s && *s ? fs::path(s) : hive.parent_path() / "bench-state";
        const std::string process = "process-" + std::to_string(::getpid());
        ::setenv("ORU_REGISTRY", (hive.parent_path() / process / hive.filename()).c_str(), 1);
        ::setenv("ORU_BENCH_STATE", (state / process).c_str(), 1);
        return true;
    }();
    (void)done;
}
}  // namespace

std::string defaultBenchJson() {
    std::ifstream in(defaultBenchFile(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TestBench::TestBench() : TestBench(defaultBenchJson()) {}

TestBench::TestBench(std::string_view benchJson) {
    useProcessScratch();
    const fs::path hive = requiredPath("ORU_REGISTRY");
    const fs::path state = requiredPath("ORU_BENCH_STATE");
    forgetDevices();
    std::error_code ec;
    fs::remove(hive, ec);
    fs::remove_all(state, ec);
    fs::create_directories(hive.parent_path());
    benchFile_ = hive.parent_path() / "bench.json";
    {
        std::ofstream out(benchFile_, std::ios::binary | std::ios::trunc);
        out << benchJson;
        if (!out) throw std::runtime_error("cannot write " + benchFile_.string());
    }
    installBench(loadBench(benchFile_));
    SimClock::instance().freeze();
    journal().clear();
}

TestBench::~TestBench() {
    uninstallBench();
    forgetDevices();
    journal().clear();
    SimClock::instance().thaw();
    // The process's scratch goes with its last bench.
    std::error_code ec;
    fs::remove_all(requiredPath("ORU_BENCH_STATE"), ec);
    fs::remove_all(fs::path(requiredPath("ORU_REGISTRY")).parent_path(), ec);
}

Journal& TestBench::journal() { return vireo::sim::journal(); }

std::shared_ptr<Device> TestBench::device(std::string_view adapterKey) { return openDevice(benchFile_, adapterKey); }

fs::path TestBench::benchFile() const { return benchFile_; }

SimClock& TestBench::clock() { return SimClock::instance(); }

}  // namespace vireo::sim::testing
