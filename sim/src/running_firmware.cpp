#include "running_firmware.h"

namespace vireo::sim {

RunningFirmware::RunningFirmware(const FirmwareSpec& factory)
    : factory_{factory.buildSequence, factory.primaryFile + " " + factory.stationFile, factory.stationVersion,
               factory.primaryVersion},
      current_(factory_) {}

void RunningFirmware::boot(const AdapterMemory&) { current_ = factory_; }

}  // namespace vireo::sim
