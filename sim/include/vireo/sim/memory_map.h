// The simulated adapter's memory as the memory OIDs reach it.
#pragma once

#include <cstdint>

namespace vireo::sim {

// Non-volatile firmware store: downloaded images land here and survive the process.
constexpr std::uint32_t kFirmwareBase = 0x000000;
constexpr std::uint32_t kFirmwareSize = 0x200000;
// Working RAM: kept while the process runs, zero at power-on.
constexpr std::uint32_t kRamBase = 0x200000;
constexpr std::uint32_t kRamSize = 0x040000;
// Production data area: 512 little-endian words of records, non-volatile.
constexpr std::uint32_t kPdaBase = 0x3F0000;
constexpr std::uint32_t kPdaSize = 1024;

// Erased firmware store reads as this byte.
constexpr std::uint8_t kErasedByte = 0xFF;

}  // namespace vireo::sim
