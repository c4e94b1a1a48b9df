// The drivers the library can bind an adapter to. A service's Parameters key names its driver
// ("Driver"; the simulated bench's when absent) and whatever that driver needs.
#pragma once

#include <memory>
#include <string>

#include "ndisreq32/miniport.h"
#include "registry/winreg.h"

namespace ndis {

// The simulated bench: Parameters "BenchFile" and "AdapterKey". Null with `error` set when the
// adapter cannot be opened.
std::shared_ptr<Miniport> openBenchAdapter(HKEY parameters, std::string& error);

}  // namespace ndis
