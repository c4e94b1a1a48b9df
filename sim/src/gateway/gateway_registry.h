// The instrument drivers' gateway entries in the registry, as the simulated bench sets them.
#pragma once

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

// Points the drivers at the simulated gateway on 127.0.0.1:`port` (the bench's port when 0).
// Throws BenchError when the registry cannot be written.
void registerGateway(const BenchSpec& bench, int port = 0);
// Removes the entries when the simulated bench wrote them.
void unregisterGateway();

}  // namespace vireo::sim
