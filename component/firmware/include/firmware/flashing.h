// Download of a firmware image to the adapter, block by block with verified writes.
#pragma once

#include <cstdint>
#include <functional>

#include "firmware/adapter_port.h"
#include "firmware/firmware_image.h"

namespace firmware {

inline constexpr std::size_t kFlashBlockBytes = FirmwareImage::kBlockBytes;

// Called after each block has been written and verified: block number (from 1), length, address.
using FlashProgressFn = std::function<void(std::uint16_t block, std::uint32_t length, std::uint32_t address)>;

struct FlashResult {
  bool ok = true;
  std::uint16_t failedBlock = 0;     // number of the block that could not be written
  std::uint32_t failedAddress = 0;
};

// Sends the image and resets the card. A block that cannot be written ends the download at once;
// the adapter's protocol traffic is then unblocked again.
FlashResult FlashImage(FirmwareImage& image, AdapterPort& port, const FlashProgressFn& progress);

}  // namespace firmware
