// The drivers the library can bind an adapter to. A service's Parameters key names its driver
// ("Driver"; the simulated bench's when absent) and whatever that driver needs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ndisreq32/miniport.h"
#include "registry/winreg.h"

namespace ndis {

// The text value `name` of `key` (REG_SZ), whatever its length; nothing when absent or of another
// type.
std::optional<std::string> registryText(HKEY key, const char* name);

// Opens the adapter a service's Parameters key names; null with `error` set when it cannot.
using DriverOpen = std::shared_ptr<Miniport> (*)(HKEY parameters, std::string& error);

struct Driver {
    const char* name;  // the Parameters "Driver" value that selects it
    DriverOpen open;
};

// The simulated bench: Parameters "BenchFile" and "AdapterKey".
std::shared_ptr<Miniport> openBenchAdapter(HKEY parameters, std::string& error);

// Every driver the library knows; the first is used when Parameters name none.
inline constexpr Driver kDrivers[] = {
    {"vireo-bench", openBenchAdapter},
};

}  // namespace ndis
