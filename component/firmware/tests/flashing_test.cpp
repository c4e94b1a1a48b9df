#include "firmware/flashing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "firmware/station_image.h"
#include "test_support.h"

namespace {

using firmware::FirmwareImage;
using Progress = std::vector<std::tuple<std::uint16_t, std::uint32_t, std::uint32_t>>;

class Flashing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(image.Append(0x20000, firmware::PseudoRandomBytes(5000, 3)), FirmwareImage::AppendResult::Ok);
    ASSERT_EQ(image.Append(0x00800, firmware::PseudoRandomBytes(100, 4)), FirmwareImage::AppendResult::Ok);
  }
  bool Flash() { return FlashWithResult().ok; }
  firmware::FlashResult FlashWithResult() {
    progress.clear();
    return firmware::FlashImage(image, adapter, [this](std::uint16_t n, std::uint32_t length, std::uint32_t address) {
      progress.emplace_back(n, length, address);
    });
  }

  FirmwareImage image;
  firmware::testing::FakeAdapter adapter;
  Progress progress;
};

TEST_F(Flashing, SendsBlocksOfAtMost4096BytesAndResetsTheCard) {
  ASSERT_TRUE(Flash());
  EXPECT_EQ(progress, (Progress{{1, 4096, 0x20000}, {2, 904, 0x21000}, {3, 100, 0x800}}));
  EXPECT_EQ(adapter.journal, (std::vector<std::string>{"BlockProtocols", "ProbeController", "EnableMemoryAccess",
                                                       "VerifiedWriteMemory", "VerifiedWriteMemory",
                                                       "VerifiedWriteMemory", "ResetCard"}));
  EXPECT_EQ(adapter.Bytes(0x20000, 5000), firmware::PseudoRandomBytes(5000, 3));
  EXPECT_EQ(adapter.Bytes(0x800, 100), firmware::PseudoRandomBytes(100, 4));
  // A second download finds every block in place: nothing is written, every block is reported.
  const std::size_t writes = adapter.memoryWrites;
  ASSERT_TRUE(Flash());
  EXPECT_EQ(adapter.memoryWrites, writes);
  EXPECT_EQ(progress.size(), 3u);
}

TEST_F(Flashing, StopsAtABlockThatDoesNotVerifyAndUnblocksTraffic) {
  adapter.unwritable.insert(0x21100);
  const auto result = FlashWithResult();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failedBlock, 2);
  EXPECT_EQ(result.failedAddress, 0x21000u);
  EXPECT_EQ(progress, (Progress{{1, 4096, 0x20000}}));
  EXPECT_EQ(adapter.journal.back(), "UnblockProtocols");
  EXPECT_EQ(std::count(adapter.journal.begin(), adapter.journal.end(), "ResetCard"), 0);
  EXPECT_EQ(std::count(adapter.journal.begin(), adapter.journal.end(), "VerifiedWriteMemory"), 2);
}

TEST_F(Flashing, AnEmptyImageOnlyPreparesAndResets) {
  image.Clear();
  EXPECT_TRUE(Flash());
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(adapter.journal,
            (std::vector<std::string>{"BlockProtocols", "ProbeController", "EnableMemoryAccess", "ResetCard"}));
}

}  // namespace
