#include "firmware/flashing.h"

namespace firmware {

FlashResult FlashImage(FirmwareImage& image, AdapterPort& port, const FlashProgressFn& progress) {
  // Preparation; the verified writes below tell whether the adapter took the image.
  port.BlockProtocols();
  port.ProbeController();
  port.EnableMemoryAccess();
  image.ResetBlockCursor();
  std::uint16_t number = 0;
  while (auto block = image.NextBlock(kFlashBlockBytes)) {
    ++number;
    if (!port.VerifiedWriteMemory(block->address, block->bytes)) {
      port.UnblockProtocols();
      return FlashResult{false, number, block->address};
    }
    if (progress) progress(number, static_cast<std::uint32_t>(block->bytes.size()), block->address);
  }
  port.ResetCard();
  return FlashResult{};
}

}  // namespace firmware
