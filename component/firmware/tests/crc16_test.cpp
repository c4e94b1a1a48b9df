#include "firmware/crc16.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

TEST(Crc16Arc, MatchesTheCheckValueAndContinuesAcrossCalls) {
  constexpr std::string_view kCheck = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(kCheck.data());
  EXPECT_EQ(firmware::Crc16Arc({bytes, kCheck.size()}), 0xBB3D);
  EXPECT_EQ(firmware::Crc16Arc({bytes + 4, 5}, firmware::Crc16Arc({bytes, 4})), 0xBB3D);
  EXPECT_EQ(firmware::Crc16Arc({}), 0x0000);
}

}  // namespace
