// The adapter operations that production data and firmware downloads need, so that this logic
// runs against the driver session in the component and against a recording double in tests.
#pragma once

#include <cstdint>
#include <span>

namespace firmware {

inline constexpr std::uint32_t kProductionAreaAddress = 0x3F0000;
inline constexpr std::size_t kProductionAreaBytes = 1024;

class AdapterPort {
 public:
  virtual ~AdapterPort() = default;
  // Fills the 1024 bytes of the production data area; false when the read failed.
  virtual bool ReadProductionArea(std::span<std::uint8_t, kProductionAreaBytes> area) = 0;
  virtual bool BlockProtocols() = 0;
  virtual bool UnblockProtocols() = 0;
  virtual bool ProbeController() = 0;
  virtual bool EnableMemoryAccess() = 0;
  // Writes unless the adapter already holds the bytes; true if it holds them afterwards.
  virtual bool VerifiedWriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) = 0;
  // Controller probe, memory enable, write, probe; true if the write succeeded.
  virtual bool ProgramMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) = 0;
  virtual bool ResetCard() = 0;
};

}  // namespace firmware
