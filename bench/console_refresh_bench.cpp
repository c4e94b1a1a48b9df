// One refresh tick's component calls (five integer reads and the SSID text of the polled
// records) through the console's wrappers, against an in-process component on the simulated
// bench.
#include <dlfcn.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "bench_results.h"
#include "console.h"
#include "oleaut/objbase.h"
#include "vireo/sim/testing/test_bench.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto dir = std::filesystem::temp_directory_path() / ("console-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("ORU_REGISTRY", (dir / "registry.reg").c_str(), 1);
    ::setenv("ORU_BENCH_STATE", (dir / "bench-state").c_str(), 1);
    int status = 0;
    {
        vireo::sim::testing::TestBench bench;
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        void* lib = dlopen(ORU_COMPONENT_PATH, RTLD_NOW);
        auto reg = lib ? reinterpret_cast<HRESULT (*)()>(dlsym(lib, "DllRegisterServer")) : nullptr;
        if (!reg || FAILED(reg())) {
            std::fprintf(stderr, "console bench: cannot register the component\n");
            return 1;
        }
        try {
            kestview::Console c;
            c.AdaptersObj = kestview::createLocalAdapters();
            c.AdapterKey = QStringLiteral("0002");
            c.fetchAdapter();
            c.AdapterObj.open();
            c.bindVireo();
            c.SetObjects();
            constexpr int kTicks = 20000;
            qint64 sink = 0;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kTicks; ++i) {
                sink += c.RidPortType.getAsInteger(1) + c.RidTxRate.getAsInteger(1);
                sink += c.RidSsid.ridStringValue().size();
                sink += c.RidCommsQuality.getAsInteger(1) + c.RidCommsQuality.getAsInteger(2);
                sink += c.RidChannel.getAsInteger(1);
                bench.journal().clear();
            }
            const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
            std::printf("console refresh tick (6 record reads, in process): %.2f us per tick over %d ticks (%lld)\n",
                        us / kTicks, kTicks, static_cast<long long>(sink % 7));
            bench::appendResult({"console", "refresh tick in process (6 record reads)", us / kTicks, "us", {}, {}, {}, {}});
        } catch (const kestview::AutomationError& e) {
            std::fprintf(stderr, "console bench: %s\n", e.what());
            status = 1;
        }
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
    std::filesystem::remove_all(dir);
    return status;
}
