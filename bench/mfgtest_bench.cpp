// The wall time of the whole spectral-mask test (33 rows, both passes, every tuning step) run
// headless on the default bench's Cedar adapter through the real instrument drivers and the
// simulated gateway, with the console clock 100 times fast: the waits take 1 % of real.
#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "bench_results.h"
#include "headless_run.h"
#include "instruments/gateway_config.h"
#include "oleaut/objbase.h"
#include "registry/winreg.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/testing/test_bench.h"

namespace {

constexpr double kTimeScale = 100;
constexpr double kGoalSeconds = 5;

void registerGatewayPort(int port) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const DWORD p = DWORD(port);
    RegSetValueExA(key, oru::instruments::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&p), sizeof p);
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const auto dir = std::filesystem::temp_directory_path() / ("mfgtest-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("ORU_REGISTRY", (dir / "registry.reg").c_str(), 1);
    ::setenv("ORU_BENCH_STATE", (dir / "bench-state").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    int status = 0;
    {
        vireo::sim::testing::TestBench bench;
        vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
        registerGatewayPort(gateway.listen(0));
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        void* lib = dlopen(ORU_COMPONENT_PATH, RTLD_NOW);
        auto reg = lib ? reinterpret_cast<HRESULT (*)()>(dlsym(lib, "DllRegisterServer")) : nullptr;
        if (!reg || FAILED(reg())) {
            std::fprintf(stderr, "mfgtest bench: cannot register the component\n");
            return 1;
        }
        {
            kestview::Console console;
            console.clock().setTimeScale(kTimeScale);
            kestview::instruments::TestEquipment equipment({});
            kestview::mfgtest::HeadlessOptions options;
            options.adapterKey = QStringLiteral("0003");
            std::ostringstream out, err;
            const auto start = std::chrono::steady_clock::now();
            const int exit = kestview::mfgtest::runHeadless(console, equipment, options, out, err);
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            console.releaseAll();
            if (exit != kestview::mfgtest::kExitPassed) {
                std::fprintf(stderr, "mfgtest bench: the test did not pass (exit %d)\n%s%s", exit, out.str().c_str(),
                             err.str().c_str());
                status = 1;
            } else {
                std::printf("spectral mask test, whole (33 rows, headless, time scale %.0f): %.2f s wall (goal < %.0f s)%s\n",
                            kTimeScale, s, kGoalSeconds, s < kGoalSeconds ? "" : "  ** over the goal **");
                bench::appendResult({"mfgtest", "whole spectral mask test, waits at 1 %", s, "s", {}, {},
                                     "under " + std::to_string(int(kGoalSeconds)) + " s", s < kGoalSeconds});
            }
        }
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
    std::filesystem::remove_all(dir);
    return status;
}
