// The instrument drivers' gateway entries in the registry, as the simulated bench sets them.
#pragma once

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

// Points the drivers at the simulated gateway on 127.0.0.1:`port` (the bench's port when 0).
// Returns false when it left the entries alone because they name a gateway entered by hand (a real
// bench's). Throws BenchError when the registry cannot be written.
bool registerGateway(const BenchSpec& bench, int port = 0);
// After the gateway registered on `port` stops: points the drivers back at the bench's own port, as
// `vireo-bench install` left them, so that no entry names a port nothing serves any more (which any
// program could take next). Entries changed since (another gateway registered, or a real bench's
// entered by hand) are left alone. Returns false when the registry could not be written.
bool releaseGateway(const BenchSpec& bench, int port);
// Removes the entries when the simulated bench wrote them.
void unregisterGateway();

}  // namespace vireo::sim
