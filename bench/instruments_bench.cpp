// One analyzer marker amplitude read and one power-meter reading through the drivers and the
// simulated gateway on loopback, with the bench's Cedar adapter transmitting on the RF cable:
// the median and spread of many calls.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "bench_results.h"
#include "controller.h"
#include "instruments/gateway_config.h"
#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"
#include "registry/winreg.h"
#include "request_helpers.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/rf_emission.h"
#include "vireo/sim/testing/test_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Spread {
    double median = 0, p10 = 0, p90 = 0, min = 0, max = 0;
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
    out = {at(0.5), at(0.1), at(0.9), us.front(), us.back()};
    return true;
}

void report(const char* what, const Spread& s, int runs) {
    std::printf("instruments: %s: median %.0f us (10%%..90%% %.0f..%.0f, min %.0f, max %.0f) over %d calls\n", what,
                s.median, s.p10, s.p90, s.min, s.max, runs);
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
        const DWORD port = DWORD(gateway.listen(0));
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, oru::instruments::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
        RegCloseKey(key);

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
            bench::appendResult({"instruments", "marker amplitude read, median", marker.median, "us", {}, {}, {}, {}});
            bench::appendResult({"instruments", "power meter reading, median", power.median, "us", {}, {}, {}, {}});
        }
        hp438a_close(meter);
        saClose(analyzer);
    }
    std::filesystem::remove_all(dir);
    return status;
}
