// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final inversion), the checksum that
// closes the production data area.
#pragma once

#include <cstdint>
#include <span>

namespace firmware {

std::uint16_t Crc16Arc(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

}  // namespace firmware
