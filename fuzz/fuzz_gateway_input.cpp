// The simulated gateway's input: the byte stream of a client cut into gateway commands and data
// lines (in pieces of a size the input chooses), each data line executed by the bench's power
// meter and spectrum analyzer, and what they would say when read. An adapter transmits on the
// cable, so settings that move the analyzer recompute its trace and its markers search it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "gateway/device_file.h"
#include "gateway/instrument.h"
#include "gateway/prologix.h"
#include "vireo/sim/rf_emission.h"

namespace {

using namespace vireo::sim;

class TransmittingCable final : public gateway::RfSource {
public:
    TransmittingCable() : emission_(modelEmission(AdapterSpec{}, 6, 72, false)) { emission_.sequence = 1; }
    Emission emission() const override { return emission_; }
    double lossDb() const override { return 1.5; }

private:
    Emission emission_;
};

const gateway::DeviceDefinition& device(const char* model) {
    static const gateway::DeviceDefinition meter =
        gateway::loadDeviceFile(gateway::defaultDeviceFile("HP 438A"), "HP 438A");
    static const gateway::DeviceDefinition analyzer =
        gateway::loadDeviceFile(gateway::defaultDeviceFile("HP 8593E"), "HP 8593E");
    return std::string_view(model) == "HP 438A" ? meter : analyzer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TransmittingCable cable;
    gateway::Instrument meter(device("HP 438A"), cable), analyzer(device("HP 8593E"), cable);
    const std::size_t piece = 1 + data[0] % 64;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    gateway::HostInput input;
    while (!bytes.empty()) {
        const std::string_view chunk = bytes.substr(0, piece);
        bytes.remove_prefix(chunk.size());
        for (const gateway::HostLine& line : input.feed(chunk)) {
            for (gateway::Instrument* in : {&meter, &analyzer}) {
                if (!line.command) {
                    in->receive(line.data);
                } else if (line.name == "read") {
                    in->talk();
                } else if (line.name == "clr") {
                    in->clear();
                } else if (line.name == "trg") {
                    in->trigger();
                }
            }
        }
    }
    meter.talk();
    analyzer.talk();
    return 0;
}
