// For tests of every module that drives adapters: a clean registry hive and bench-state folder
// with a bench installed, and access to its devices and the request journal.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "vireo/sim/bench.h"
#include "vireo/sim/clock.h"
#include "vireo/sim/device.h"
#include "vireo/sim/journal.h"

namespace vireo::sim::testing {

// The text of sim/benches/default.json.
std::string defaultBenchJson();

// Installs a bench into the scratch hive ($ORU_REGISTRY) and state folder ($ORU_BENCH_STATE), both
// emptied first; the bench file is written beside the hive. So that the tests of one binary can
// run in parallel processes, the first TestBench of a process points both variables at a folder
// of its own below the harness's scratch paths ("process-<pid>"); read them after constructing it.
// The simulation clock is frozen while the bench exists (advance it with clock().advance()); the
// journal starts empty. One TestBench at a time per process.
class TestBench {
public:
    TestBench();  // the default bench
    explicit TestBench(std::string_view benchJson);
    ~TestBench();  // uninstalls, forgets the process's devices, lets the clock run again
    TestBench(const TestBench&) = delete;
    TestBench& operator=(const TestBench&) = delete;

    vireo::sim::Journal& journal();
    std::shared_ptr<vireo::sim::Device> device(std::string_view adapterKey);
    std::filesystem::path benchFile() const;
    vireo::sim::SimClock& clock();

private:
    std::filesystem::path benchFile_;
};

}  // namespace vireo::sim::testing
