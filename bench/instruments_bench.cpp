// One analyzer marker amplitude read and one power-meter reading through the drivers and the
// simulated gateway on loopback, with the bench's Cedar adapter transmitting on the RF cable: the
// median and spread of many calls, from C and from PyVISA (one write per query). The medians and
// 99th percentiles go to $ORU_BENCH_RESULTS as JSON lines (goal: p99 under 1 ms from C, 2 ms from
// PyVISA).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_results.h"
#include "controller.h"
#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"
#include "request_helpers.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/rf_emission.h"
#include "vireo/sim/testing/gateway_client.h"
#include "vireo/sim/testing/test_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Spread {
    double median = 0, p10 = 0, p90 = 0, p99 = 0, min = 0, max = 0;
};

// Microseconds per call of `call` (which must succeed) over `runs` calls, after a few to warm up.
bool timeCalls(int runs, const std::function<int()>& call, Spread& out) {
    std::vector<double> us;
    for (int i = 0; i < runs + 10; ++i) {
        const auto start = Clock::now();
        if (call() != INSTR_SUCCESS) return false;
        if (i >= 10) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[std::size_t(q * double(us.size() - 1))]; };
    out = {at(0.5), at(0.1), at(0.9), at(0.99), us.front(), us.back()};
    return true;
}

void report(const char* what, const Spread& s, int runs) {
    std::printf("instruments: %s: median %.0f us (10%%..90%% %.0f..%.0f, p99 %.0f, min %.0f, max %.0f) over %d calls\n",
                what, s.median, s.p10, s.p90, s.p99, s.min, s.max, runs);
}

// One figure as a JSON line in $ORU_BENCH_RESULTS.
void record(const std::string& figure, double ms, const std::string& goal, bool met) {
    bench::appendResult({"instruments", figure, ms, "ms", {}, {}, goal, met});
}

// The median and the 99th percentile of `what`, against an absolute goal for the 99th.
void recordSpread(const std::string& what, double medianUs, double p99Us, double goalMs) {
    char goal[64];
    std::snprintf(goal, sizeof goal, "p99 under %g ms", goalMs);
    record(what + ", median", medianUs / 1000, goal, p99Us / 1000 < goalMs);
    record(what + ", 99th percentile", p99Us / 1000, goal, p99Us / 1000 < goalMs);
}

// Runs the PyVISA timing script against the gateway on `port`; false when it fails.
bool pyvisaSpread(int port, int runs, Spread& marker, Spread& power) {
    const std::string command = std::string(ORU_PYTHON) + " " + ORU_SOURCE_DIR + "/bench/instruments_pyvisa_bench.py " +
                                std::to_string(port) + " " + std::to_string(runs);
    std::FILE* script = ::popen(command.c_str(), "r");
    if (!script) return false;
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, script) != nullptr;
    const int status = ::pclose(script);
    return read && status == 0 &&
           std::sscanf(line, "{\"marker\": [%lf, %lf], \"power\": [%lf, %lf]}", &marker.median, &marker.p99,
                       &power.median, &power.p99) == 4;
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / ("instruments-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A private registry and bench state: the benchmark never touches the user's.
    ::setenv("ORU_REGISTRY", (dir / "registry.reg").c_str(), 1);
    ::setenv("ORU_BENCH_STATE", (dir / "bench-state").c_str(), 1);
    int status = 0;
    {
        vireo::sim::testing::TestBench bench;
        vireo::sim::InstrumentGateway gateway(vireo::sim::loadBench(bench.benchFile()));
        const int port = gateway.listen(0);
        vireo::sim::testing::pointDriversAt(port);

        // The adapter on the cable transmitting on channel 6, as the manufacturing test has it.
        auto adapter = bench.device("0003");
        namespace cmd = vireo::sim::cmd;
        simtest::command(*adapter, cmd::InitPhy);
        simtest::command(*adapter, cmd::SetChannel, 6);
        simtest::command(*adapter, cmd::ContinuousTx, 0);

        const int meter = hp438a_init(13);
        const int analyzer = saInit(0, 1);
        const bool ready =
            hp438a_setup(meter, 0, 0, 0, 0, 0) == INSTR_SUCCESS && analyzer > 0 &&
            saFrequency(analyzer, float(vireo::sim::channelCentreHz(6)), 5e6f) == INSTR_SUCCESS &&
            saSpan(analyzer, 0, 100e6f) == INSTR_SUCCESS &&
            saConfigBandwidth(analyzer, 1, 1000000, 1, 0, 100, 3000, 0.3) == INSTR_SUCCESS &&
            saConfigMarkerToFunction(analyzer, 1, 4) == INSTR_SUCCESS;
        constexpr int kRuns = 500;
        double dbm = 0;
        Spread marker, power;
        if (!ready) {
            std::fprintf(stderr, "instruments bench: the instruments did not set up through the gateway\n");
            status = 1;
        } else if (!timeCalls(kRuns, [&] { return saReadMarkerAmplitude(analyzer, &dbm); }, marker) ||
                   !timeCalls(kRuns, [&] { return hp438a_measure(meter, 0, &dbm); }, power)) {
            std::fprintf(stderr, "instruments bench: a reading failed\n");
            status = 1;
        } else {
            report("analyzer marker amplitude read (saReadMarkerAmplitude)", marker, kRuns);
            report("power meter reading (hp438a_measure)", power, kRuns);
            recordSpread("marker amplitude read from C (saReadMarkerAmplitude)", marker.median, marker.p99, 1.0);
            recordSpread("power meter reading from C (hp438a_measure)", power.median, power.p99, 1.0);
        }
        hp438a_close(meter);
        saClose(analyzer);
        // The gateway serves one program at a time: the script's turn once the drivers let go.
        vireo::sim::testing::eventually([&] { return gateway.connectionsOpen() == 0; });
        Spread pyMarker, pyPower;
        if (status == 0 && pyvisaSpread(port, kRuns, pyMarker, pyPower)) {
            std::printf("instruments: marker amplitude read from PyVISA (MKA?): median %.0f us, p99 %.0f us\n",
                        pyMarker.median, pyMarker.p99);
            std::printf("instruments: power meter reading from PyVISA (TR2): median %.0f us, p99 %.0f us\n",
                        pyPower.median, pyPower.p99);
            recordSpread("marker amplitude read from PyVISA (MKA?)", pyMarker.median, pyMarker.p99, 2.0);
            recordSpread("power meter reading from PyVISA (TR2)", pyPower.median, pyPower.p99, 2.0);
        } else if (status == 0) {
            std::fprintf(stderr, "instruments bench: the PyVISA timing script failed\n");
            status = 1;
        }
    }
    std::filesystem::remove_all(dir);
    return status;
}
