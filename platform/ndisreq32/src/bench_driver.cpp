#include <string>

#include "drivers.h"
#include "vireo/sim/bench.h"

namespace ndis {

namespace {
std::string text(HKEY key, const char* name) {
    char buf[1024];
    DWORD size = sizeof buf, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return {};
    buf[size - 1] = '\0';
    return buf;
}
}  // namespace

std::shared_ptr<Miniport> openBenchAdapter(HKEY parameters, std::string& error) {
    const std::string file = text(parameters, "BenchFile");
    const std::string key = text(parameters, "AdapterKey");
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
