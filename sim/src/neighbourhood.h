// The stations an adapter hears when its bench file names none.
#pragma once

#include <string>
#include <vector>

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

// A few stations around every bench adapter, the same for the same adapter key.
std::vector<Station> stationsAround(const std::string& adapterKey);

}  // namespace vireo::sim
