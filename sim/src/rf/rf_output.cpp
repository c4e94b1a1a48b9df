#include "rf_output.h"

#include <unistd.h>

#include "../atomic_file.h"
#include "../baseband.h"
#include "../controller.h"

namespace vireo::sim {

namespace {
bool sameRadiation(const Emission& a, const Emission& b) {
    return a.transmitting == b.transmitting && a.channel == b.channel && a.txPowerControl == b.txPowerControl &&
           a.narrowFilter == b.narrowFilter;
}
}  // namespace

RfOutput::RfOutput(const AdapterSpec& spec, std::filesystem::path stateDir)
    : spec_(spec), file_(emissionFile(stateDir)) {}

RfOutput::~RfOutput() {
    if (published_ && current_.transmitting) publish(Emission{});
}

void RfOutput::update(const Controller& controller, Baseband& baseband, bool txStarted) {
    Emission next;
    if (controller.transmitting()) {
        if (txStarted || !latchedPowerControl_) latchedPowerControl_ = baseband.txPowerControl();
        next = modelEmission(spec_, controller.state().channel, *latchedPowerControl_, baseband.narrowFilter());
    } else {
        latchedPowerControl_.reset();
    }
    baseband.setTransmitOutput(next.transmitting ? std::optional<double>(next.outputDbm) : std::nullopt);
    if (published_ && sameRadiation(next, current_)) return;
    publish(next);
}

void RfOutput::switchOff(Baseband& baseband) {
    latchedPowerControl_.reset();
    baseband.setTransmitOutput(std::nullopt);
    std::error_code ec;
    if (published_ ? !current_.transmitting : !std::filesystem::exists(file_, ec)) return;
    publish(Emission{});
}

void RfOutput::publish(const Emission& e) {
    current_ = e;
    current_.sequence = ++sequence_;
    current_.publisher = long(::getpid());
    // A state folder that cannot be written leaves the instruments seeing the previous emission;
    // the adapter itself carries on.
    // The emission is volatile state: replaced atomically, not synced to disk.
    published_ = writeFileAtomically(file_, emissionToJson(current_), Durability::Volatile) || published_;
}

}  // namespace vireo::sim
