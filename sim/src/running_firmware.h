// Which firmware the adapter runs: what records FFFE, FFFF and FD20 report. The adapter leaves
// the factory running the bench's firmware; at every card reset the controller boots again from
// what its memory holds.
#pragma once

#include <array>
#include <string>

#include "adapter_memory.h"

namespace vireo::sim {

struct FirmwareIdentity {
    WORD buildSequence = 0;
    std::string fileNames;                // record FFFF: the image files, e.g. "PRI0102.HEX STA0103.HEX"
    std::array<WORD, 4> stationVersion{};  // record FD20: component id, variant, major, minor
    std::array<WORD, 4> primaryVersion{};  // record FD02
};

class RunningFirmware {
public:
    explicit RunningFirmware(const FirmwareSpec& factory);

    const FirmwareIdentity& identity() const { return current_; }
    // Called at power-on and at every card reset with the adapter's memory: the controller runs
    // the station image in its firmware store, or the factory firmware while the store is erased.
    // An image that fails its boot check is not started; the identity stays as it was.
    void boot(const AdapterMemory& memory);

private:
    std::string primaryFile_;
    FirmwareIdentity factory_;
    FirmwareIdentity current_;
};

}  // namespace vireo::sim
