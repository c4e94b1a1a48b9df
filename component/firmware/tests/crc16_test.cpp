#include "firmware/crc16.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

TEST(Crc16Arc, MatchesTheCheckValueAndContinuesAcrossCalls) {
  constexpr std::string_view kCheck = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(kCheck.data());
  EXPECT_EQ(firmware::Crc16Arc({bytes, kCheck.size()}), 0xBB3D);
  EXPECT_EQ(firmware::Crc16Arc({bytes + 4, 5}, firmware::Crc16Arc({bytes, 4})), 0xBB3D);
  EXPECT_EQ(firmware::Crc16Arc({}), 0x0000);
}

// Four bytes at a time or one: the same CRC as the bit-by-bit definition, for every length and split.
TEST(Crc16Arc, EqualsTheBitwiseDefinitionForAnyLengthAndSplit) {
  std::vector<std::uint8_t> data(1031);
  std::uint32_t seed = 7;
  for (auto& b : data) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  auto bitwise = [](std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes) {
      crc ^= b;
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
  };
  for (std::size_t length : {0u, 1u, 3u, 4u, 5u, 8u, 1031u}) {
    const std::span<const std::uint8_t> part(data.data(), length);
    EXPECT_EQ(firmware::Crc16Arc(part), bitwise(part)) << length;
    for (std::size_t split : {std::size_t(1), length / 2, length}) {
      if (split > length) continue;
      EXPECT_EQ(firmware::Crc16Arc(part.subspan(split), firmware::Crc16Arc(part.first(split))), bitwise(part))
          << length << " split at " << split;
    }
  }
}

}  // namespace
