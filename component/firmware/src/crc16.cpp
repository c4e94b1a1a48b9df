#include "firmware/crc16.h"

#include <array>

namespace firmware {
namespace {

// Tables for four bytes at a time: kTables[0] is the byte-wise table; kTables[k][i] is the CRC
// of byte i followed by k zero bytes.
using Table = std::array<std::uint16_t, 256>;

constexpr std::array<Table, 4> MakeTables() {
  std::array<Table, 4> tables{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t value = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001) : static_cast<std::uint16_t>(value >> 1);
    }
    tables[0][i] = value;
  }
  for (std::size_t k = 1; k < tables.size(); ++k)
    for (unsigned i = 0; i < 256; ++i)
      tables[k][i] = static_cast<std::uint16_t>((tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF]);
  return tables;
}

constexpr auto kTables = MakeTables();

}  // namespace

std::uint16_t Crc16Arc(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
  std::size_t i = 0;
  for (; i + 4 <= bytes.size(); i += 4) {
    const unsigned x = crc ^ (bytes[i] | unsigned(bytes[i + 1]) << 8);
    crc = static_cast<std::uint16_t>(kTables[3][x & 0xFF] ^ kTables[2][x >> 8] ^ kTables[1][bytes[i + 2]] ^
                                     kTables[0][bytes[i + 3]]);
  }
  for (; i < bytes.size(); ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ kTables[0][(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

}  // namespace firmware
