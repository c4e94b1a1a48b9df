#include "running_firmware.h"

#include <algorithm>

#include "firmware/station_identity.h"
#include "vireo/sim/memory_map.h"

namespace vireo::sim {

RunningFirmware::RunningFirmware(const FirmwareSpec& factory)
    : primaryFile_(factory.primaryFile),
      factory_{factory.buildSequence, factory.primaryFile + " " + factory.stationFile, factory.stationVersion,
               factory.primaryVersion},
      current_(factory_) {}

// A station image tells the firmware who it is through the identity block at a fixed address;
// the image's file name was plugged into that block before the download. An image without one
// runs, but cannot say what it is.
void RunningFirmware::boot(const AdapterMemory& memory) {
    std::array<BYTE, firmware::kStationIdentityBytes> block{};
    if (memory.read(firmware::kStationIdentityAddress, block) != 0 ||
        std::all_of(block.begin(), block.end(), [](BYTE b) { return b == kErasedByte; })) {
        current_ = factory_;
        return;
    }
    current_ = factory_;
    const auto image = firmware::DecodeStationIdentity(block);
    if (!image) {
        current_.buildSequence = 0;
        current_.fileNames = primaryFile_ + " UNKNOWN";
        current_.stationVersion = {firmware::kStationComponentId, 0, 0, 0};
        return;
    }
    current_.buildSequence = image->buildSequence;
    current_.fileNames = primaryFile_ + " " + (image->fileName.empty() ? "UNKNOWN" : image->fileName);
    current_.stationVersion = {image->componentId, image->variant, image->major, image->minor};
}

}  // namespace vireo::sim
