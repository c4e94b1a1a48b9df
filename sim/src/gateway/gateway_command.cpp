#include "gateway_command.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "gateway_registry.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"

namespace vireo::sim {

namespace {
int usage() {
    std::cerr << "usage: vireo-bench instruments [--bench FILE] [--port N] [--register]\n"
                 "  serves the bench's instruments over the GPIB-ETHERNET protocol on 127.0.0.1\n"
                 "  --bench FILE  the bench file (default: the installed bench)\n"
                 "  --port N      TCP port (default: the bench's gatewayPort, 1234); 0 picks a free one\n"
                 "  --register    point the instrument drivers (registry) at the port it listens on,\n"
                 "                and back at the bench's port when it stops\n";
    return 2;
}
}  // namespace

int runInstrumentGateway(int argc, char** argv) {
    std::optional<std::filesystem::path> benchFile;
    std::optional<int> port;
    bool doRegister = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bench" && i + 1 < argc) {
            benchFile = argv[++i];
        } else if (a == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (!*argv[i] || *end || v < 0 || v > 65535) return usage();
            port = int(v);
        } else if (a == "--register") {
            doRegister = true;
        } else {
            return usage();
        }
    }
    // The signals that stop the gateway are taken by sigwait below, in no other thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!benchFile) benchFile = installedBench();
    if (!benchFile) throw BenchError("no bench is installed (run: vireo-bench install, or give --bench FILE)");
    const BenchSpec bench = loadBench(*benchFile);
    InstrumentGateway gateway(bench);
    int listening = 0;
    try {
        listening = gateway.listen(port.value_or(bench.gatewayPort));
    } catch (const std::runtime_error& e) {
        std::cerr << "vireo-bench: " << e.what() << "\n";
        return 1;
    }
    if (doRegister && !registerGateway(bench, listening)) {
        doRegister = false;
        std::cerr << "vireo-bench: the registry names a gateway entered by hand; the drivers still use it\n";
    }
    std::cout << "instrument gateway listening on 127.0.0.1:" << listening;
    for (const auto& [address, model] : gateway.instruments()) std::cout << ", " << model << " at GPIB " << address;
    if (!bench.rfCable.adapterKey.empty())
        std::cout << "; RF cable from adapter " << bench.rfCable.adapterKey << ", loss " << bench.rfCable.lossDb << " dB";
    std::cout << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    gateway.stop();
    if (doRegister && !releaseGateway(bench, listening)) {
        std::cerr << "vireo-bench: cannot point the instrument drivers back at port " << bench.gatewayPort << "\n";
        return 1;
    }
    return 0;
}

}  // namespace vireo::sim
