// A station firmware image of our own making, as the bench's factory firmware, the examples, the
// tests and the benchmarks use: code bytes, the identity block, plug records for the calibration
// and domain records and the file name, a CRC record and information records of every type.
#pragma once

#include <cstdint>
#include <vector>

#include "firmware/srec_writer.h"

namespace firmware {

// Plug targets inside the image.
inline constexpr std::uint32_t kStationDomainPlug = 0x000200;        // 0x0103, 12 bytes
inline constexpr std::uint32_t kStationSetPointsPlug = 0x000220;     // 0x0300, 28 bytes
inline constexpr std::uint32_t kStationIntegratorsPlug = 0x000240;   // 0x0301, 34 bytes
inline constexpr std::uint32_t kStationCrcAddress = 0x000300;        // marker at 0x2FE

struct StationImageOptions {
  std::uint16_t buildSequence = 1;
  std::uint16_t major = 1;
  std::uint16_t minor = 0;
  std::uint16_t variant = 0;
  std::size_t codeBytes = 64 * 1024;  // at least 0x400
  std::uint32_t seed = 1;             // code bytes are a pseudo-random sequence from this seed
  unsigned bytesPerRecord = 32;
};

ImageLayout MakeStationImageLayout(const StationImageOptions& options);

// A reproducible pseudo-random byte sequence standing in for code.
std::vector<std::uint8_t> PseudoRandomBytes(std::size_t count, std::uint32_t seed);

}  // namespace firmware
