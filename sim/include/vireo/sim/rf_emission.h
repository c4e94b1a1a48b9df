// The RF emission of an adapter of the simulated bench: what its transmitter puts on the RF cable.
// The process that drives the adapter publishes it in the adapter's state folder; the simulated
// instruments read it from there (sim/README.md, "RF path", gives the model's equations).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

struct Emission {
    bool transmitting = false;
    int channel = 0;
    double centreHz = 0;
    double outputDbm = 0;          // total output power at the adapter's connector
    double firstSidelobeDbc = 0;   // first sidelobes (each side), peak density relative to the carrier lobe's
    double secondSidelobeDbc = 0;  // second sidelobes, likewise
    unsigned txPowerControl = 0;   // the CR31 setting in effect
    bool narrowFilter = false;
    unsigned long sequence = 0;    // changes with every publication
    long publisher = 0;            // process id of the publishing process
};

// Channel centre frequency in Hz (channels 1..13 every 5 MHz from 2412 MHz, 14 at 2484 MHz).
double channelCentreHz(int channel);

// The model: the emission of `adapter` transmitting on `channel` with CR31 = `txPowerControl`.
Emission modelEmission(const AdapterSpec& adapter, int channel, unsigned txPowerControl, bool narrowFilter);

// The published file of an adapter's emission, in its state folder.
std::filesystem::path emissionFile(const std::filesystem::path& adapterStateDir);

std::string emissionToJson(const Emission& e);
// nullopt for text that is not a complete emission record.
std::optional<Emission> emissionFromJson(std::string_view text);

// The emission as the instruments see it now: nothing when the file is missing or unreadable or
// its publisher has exited (an adapter whose driving process is gone does not transmit).
Emission readPublishedEmission(const std::filesystem::path& adapterStateDir);

}  // namespace vireo::sim
