// The identity block of a station firmware image: a small table at a fixed address in the image
// that tells the running firmware its build sequence, version and the name of the file it came
// from (the file-name plug points into it), and which code its boot check covers. The adapter
// reports these after a card reset.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace firmware {

inline constexpr std::uint32_t kStationIdentityAddress = 0x000100;
inline constexpr std::size_t kStationIdentityBytes = 44;
inline constexpr std::uint32_t kStationFileNameOffset = 14;
inline constexpr std::size_t kStationFileNameBytes = 20;
inline constexpr std::uint16_t kStationComponentId = 31;

struct StationIdentity {
  std::uint16_t buildSequence = 0;
  std::uint16_t componentId = kStationComponentId;
  std::uint16_t variant = 0;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::string fileName;  // at most 20 characters
  // The code the boot check covers: CRC-16/ARC of checkedLength bytes from checkedStart, where
  // the image's CRC record puts its marker just before checkedStart. Length 0: nothing checked
  // (also for blocks written before the check existed).
  std::uint32_t checkedStart = 0;
  std::uint32_t checkedLength = 0;
  std::uint16_t checkedCrc = 0;
};

// The marker a CRC record leaves in the image (the 16-bit value 0xC0DE, little-endian).
inline constexpr std::array<std::uint8_t, 2> kCrcMarker{0xDE, 0xC0};

std::vector<std::uint8_t> EncodeStationIdentity(const StationIdentity& identity);
// Empty when `bytes` (kStationIdentityBytes of them) do not hold an identity block.
// Blocks of the first layout (34 bytes, no boot check) are read too.
std::optional<StationIdentity> DecodeStationIdentity(std::span<const std::uint8_t> bytes);

}  // namespace firmware
