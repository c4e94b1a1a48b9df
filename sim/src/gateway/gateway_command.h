// `vireo-bench instruments`: runs the simulated instrument gateway until interrupted.
#pragma once

namespace vireo::sim {

// argv holds the words after "instruments". Returns the exit status.
int runInstrumentGateway(int argc, char** argv);

}  // namespace vireo::sim
