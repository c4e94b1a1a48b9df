// vireo-bench: installs the simulated bench into the registry, removes it, and shows or resets
// the state of its adapters.
#include <cstdio>
#include <iostream>
#include <string>

#include "gateway/gateway_command.h"
#include "production_data.h"
#include "vireo/sim/bench.h"

using namespace vireo::sim;

namespace {

int usage(std::ostream& to = std::cerr, int status = 2) {
    to << "usage: vireo-bench install [FILE] | uninstall | installed | status | reset | instruments [...]\n"
          "  install [FILE]  write the bench's adapters into the registry (default: the default bench)\n"
          "  uninstall       remove the installed bench's registry entries\n"
          "  installed       exit 0 when a usable bench is installed, 1 otherwise\n"
          "  status          show every adapter of the installed bench\n"
          "  reset           restore every adapter's factory state\n"
          "  instruments     serve the bench's instruments over a GPIB-ETHERNET gateway (--help)\n";
    return status;
}

BenchSpec installedSpec() {
    auto file = installedBench();
    if (!file) throw BenchError("no bench is installed (run: vireo-bench install)");
    return loadBench(*file);
}

std::string hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

void showAdapter(const BenchSpec& bench, const AdapterSpec& a) {
    std::cout << "adapter " << a.key << "  service " << a.service << "  \"" << a.driverDesc << "\"\n";
    std::string mac;
    for (BYTE b : a.mac) {
        if (!mac.empty()) mac += ':';
        mac += hex(b, 2);
    }
    std::cout << "  driver version " << (a.driverVersion >> 16) << "." << (a.driverVersion & 0xFFFF) << ", MAC " << mac
              << "\n";
    if (!a.vireo) {
        std::cout << "  not a Vireo adapter\n";
        return;
    }
    auto device = openDevice(bench.file, a.key);
    std::cout << "  baseband " << basebandName(a.baseband) << " (model " << unsigned(a.baseband) << "), serial "
              << (a.serial.empty() ? "-" : a.serial) << "\n";
    std::cout << "  firmware running: build " << device->firmwareBuildSequence() << ", files \""
              << device->firmwareFileNames() << "\"\n";
    std::cout << "  firmware store: " << device->firmwarePagesInUse() << " page(s) written\n";
    const bool crcOk = endRecordCrcGood(device->productionArea());
    std::cout << "  production data: " << (crcOk ? "end record CRC good" : "end record missing or CRC bad") << "\n";
    const ControllerState c = device->controllerState();
    std::cout << "  power-on state in this process: channel " << c.channel << ", " << testModeName(c.mode) << "\n";
    std::cout << "  state folder " << device->stateDir().string() << "\n";
}

int status() {
    const BenchSpec bench = installedSpec();
    std::cout << "bench \"" << bench.name << "\" from " << bench.file.string() << "\n";
    std::cout << "(channel, test mode, ports and RAM belong to the process that uses an adapter)\n";
    for (const AdapterSpec& a : bench.adapters) showAdapter(bench, a);
    if (!bench.rfCable.adapterKey.empty())
        std::cout << "RF cable from adapter " << bench.rfCable.adapterKey << ", loss " << bench.rfCable.lossDb << " dB\n";
    if (bench.powerMeter) std::cout << "power meter " << bench.powerMeter->model << "\n";
    if (bench.spectrumAnalyzer) std::cout << "spectrum analyzer " << bench.spectrumAnalyzer->model << "\n";
    return 0;
}

int reset() {
    const BenchSpec bench = installedSpec();
    for (const AdapterSpec& a : bench.adapters) {
        if (!a.vireo) continue;
        openDevice(bench.file, a.key)->factoryReset();
        std::cout << "adapter " << a.key << ": factory state restored\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") return usage(std::cout, 0);
    try {
        if (command == "install" && argc <= 3) {
            const BenchSpec bench = loadBench(argc == 3 ? std::filesystem::path(argv[2]) : defaultBenchFile());
            installBench(bench);
            std::cout << "installed bench \"" << bench.name << "\" from " << bench.file.string() << " ("
                      << bench.adapters.size() << " adapters)\n";
            return 0;
        }
        if (command == "uninstall" && argc == 2) {
            if (!uninstallBench()) {
                std::cout << "no bench is installed\n";
                return 0;
            }
            std::cout << "bench uninstalled\n";
            return 0;
        }
        if (command == "installed" && argc == 2) {
            const auto file = installedBench();
            if (!file) return 1;
            try {
                loadBench(*file);
            } catch (const BenchError& e) {
                // Its adapters could not be opened: as good as no bench.
                std::cerr << "vireo-bench: the installed bench cannot be used: " << e.what() << "\n";
                return 1;
            }
            return 0;
        }
        if (command == "status" && argc == 2) return status();
        if (command == "reset" && argc == 2) return reset();
        if (command == "instruments") return runInstrumentGateway(argc - 2, argv + 2);
    } catch (const BenchError& e) {
        std::cerr << "vireo-bench: " << e.what() << "\n";
        return 1;
    }
    return usage();
}
