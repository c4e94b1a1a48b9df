#include <string>

#include "drivers.h"
#include "vireo/sim/bench.h"

namespace ndis {

std::shared_ptr<Miniport> openBenchAdapter(HKEY parameters, std::string& error) {
    const std::string file = registryText(parameters, "BenchFile").value_or("");
    const std::string key = registryText(parameters, "AdapterKey").value_or("");
    if (file.empty() || key.empty()) {
        error = "the service's Parameters do not name a bench file and adapter";
        return nullptr;
    }
    try {
        return vireo::sim::openDevice(file, key);
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
}

}  // namespace ndis
