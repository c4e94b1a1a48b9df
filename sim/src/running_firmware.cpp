#include "running_firmware.h"

#include <algorithm>
#include <span>
#include <vector>

#include "firmware/crc16.h"
#include "firmware/station_identity.h"
#include "vireo/sim/memory_map.h"

namespace vireo::sim {

RunningFirmware::RunningFirmware(const FirmwareSpec& factory)
    : primaryFile_(factory.primaryFile),
      factory_{factory.buildSequence, factory.primaryFile + " " + factory.stationFile, factory.stationVersion,
               factory.primaryVersion},
      current_(factory_) {}

namespace {

// The boot check of a station image: the marker its CRC record left just before the checked code,
// and the code's CRC as the identity block gives it. An image from before the check has nothing
// to check.
bool whole(const firmware::StationIdentity& image, const AdapterMemory& memory) {
    if (image.checkedLength == 0) return true;
    // The checked code lies in the firmware store, after the marker.
    if (image.checkedStart < kFirmwareBase + firmware::kCrcMarker.size() ||
        std::uint64_t{image.checkedStart} + image.checkedLength > std::uint64_t{kFirmwareBase} + kFirmwareSize)
        return false;
    std::vector<BYTE> code(firmware::kCrcMarker.size() + image.checkedLength);
    if (memory.read(image.checkedStart - std::uint32_t(firmware::kCrcMarker.size()), code) != 0) return false;
    const std::span<const BYTE> marker = std::span(code).first(firmware::kCrcMarker.size());
    return std::equal(marker.begin(), marker.end(), firmware::kCrcMarker.begin()) &&
           firmware::Crc16Arc(std::span(code).subspan(firmware::kCrcMarker.size())) == image.checkedCrc;
}

}  // namespace

// A station image tells the firmware who it is through the identity block at a fixed address;
// the image's file name was plugged into that block before the download. An image without one
// runs, but cannot say what it is. An image that fails its boot check (a download that stopped
// part-way) is not started: the adapter goes on with what it ran before, which at power-on is
// its factory firmware.
void RunningFirmware::boot(const AdapterMemory& memory) {
    std::array<BYTE, firmware::kStationIdentityBytes> block{};
    if (memory.read(firmware::kStationIdentityAddress, block) != 0 ||
        std::all_of(block.begin(), block.end(), [](BYTE b) { return b == kErasedByte; })) {
        current_ = factory_;
        return;
    }
    const auto image = firmware::DecodeStationIdentity(block);
    if (!image) {
        current_ = factory_;
        current_.buildSequence = 0;
        current_.fileNames = primaryFile_ + " UNKNOWN";
        current_.stationVersion = {firmware::kStationComponentId, 0, 0, 0};
        return;
    }
    if (!whole(*image, memory)) return;
    current_ = factory_;
    current_.buildSequence = image->buildSequence;
    current_.fileNames = primaryFile_ + " " + (image->fileName.empty() ? "UNKNOWN" : image->fileName);
    current_.stationVersion = {image->componentId, image->variant, image->major, image->minor};
}

}  // namespace vireo::sim
