#include "firmware/crc16.h"

#include <array>

namespace firmware {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t value = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001) : static_cast<std::uint16_t>(value >> 1);
    }
    table[i] = value;
  }
  return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint16_t Crc16Arc(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
  for (std::uint8_t byte : bytes) {
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ byte) & 0xFF]);
  }
  return crc;
}

}  // namespace firmware
