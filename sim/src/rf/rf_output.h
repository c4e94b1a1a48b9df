// The adapter's RF output: what it radiates follows the controller and the baseband after every
// command, and is published for the simulated instruments whenever it changes.
#pragma once

#include <filesystem>
#include <optional>

#include "vireo/sim/bench_file.h"
#include "vireo/sim/rf_emission.h"

namespace vireo::sim {

class Baseband;
class Controller;

class RfOutput {
public:
    RfOutput(const AdapterSpec& spec, std::filesystem::path stateDir);
    ~RfOutput();  // the transmitter goes quiet with its process
    RfOutput(const RfOutput&) = delete;
    RfOutput& operator=(const RfOutput&) = delete;

    // After a command: `txStarted` when it was a continuous-transmit start, which takes the
    // transmit power control setting (CR31) into effect. Tells the baseband the output power
    // (CR58 follows it).
    void update(const Controller& controller, Baseband& baseband, bool txStarted);
    // The transmitter is off (power-on, card reset): nothing radiates, no setting is in effect.
    void switchOff(Baseband& baseband);

    const Emission& current() const { return current_; }

private:
    void publish(const Emission& e);

    const AdapterSpec& spec_;
    std::filesystem::path file_;
    std::optional<unsigned> latchedPowerControl_;
    Emission current_;
    bool published_ = false;
    unsigned long sequence_ = 0;
};

}  // namespace vireo::sim
