// Bench files: anything but a usable bench must be refused with a BenchError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vireo/sim/bench_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vireo::sim::parseBench(std::string(reinterpret_cast<const char*>(data), size), "/fuzz/bench.json");
    } catch (const vireo::sim::BenchError&) {
    }
    return 0;
}
