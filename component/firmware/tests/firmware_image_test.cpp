#include "firmware/firmware_image.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

using firmware::FirmwareImage;
using Bytes = std::vector<std::uint8_t>;

Bytes Sequence(std::size_t n, std::uint8_t first = 0) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), first);
  return b;
}

struct SegmentView {
  std::uint32_t address, length;
  bool operator==(const SegmentView&) const = default;
};

std::vector<SegmentView> Segments(const FirmwareImage& image) {
  std::vector<SegmentView> out;
  for (const auto& s : image.segments()) out.push_back({s.address, s.length});
  return out;
}

TEST(FirmwareImage, SegmentsOnlyEverExtendTheLastOne) {
  FirmwareImage image;
  ASSERT_EQ(image.Append(0x0000, Sequence(16)), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x0010, Sequence(16, 16)), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x0100, Sequence(8)), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x0020, Sequence(4, 32)), FirmwareImage::AppendResult::Ok);
  EXPECT_EQ(Segments(image), (std::vector<SegmentView>{{0x0000, 32}, {0x0100, 8}, {0x0020, 4}}));
  EXPECT_EQ(image.Read(0x0000, 32), Sequence(32));
  EXPECT_EQ(image.Read(0x0000, 36), Sequence(36));  // contiguous across segments 1 and 3
}

TEST(FirmwareImage, DataCrossPageBoundariesIntact) {
  FirmwareImage image;
  const Bytes first = Sequence(2000, 1);
  const Bytes second = Sequence(5000, 7);
  ASSERT_EQ(image.Append(0x1000, first), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x9000, second), FirmwareImage::AppendResult::Ok);
  EXPECT_EQ(image.Read(0x1000, first.size()), first);
  EXPECT_EQ(image.Read(0x9000, second.size()), second);
  EXPECT_EQ(image.storedBytes(), 7000u);
}

TEST(FirmwareImage, PatchWritesOnlyRangesThatAreLoaded) {
  FirmwareImage image;
  ASSERT_EQ(image.Append(0x100, Bytes(16, 0)), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x200, Bytes(16, 0)), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x110, Bytes(16, 0)), FirmwareImage::AppendResult::Ok);
  EXPECT_TRUE(image.Patch(0x10E, Bytes{1, 2, 3, 4}));  // spans segments 1 and 3
  EXPECT_EQ(image.Read(0x10C, 8), (Bytes{0, 0, 1, 2, 3, 4, 0, 0}));
  EXPECT_FALSE(image.Patch(0x11E, Bytes{9, 9, 9, 9}));  // runs past 0x120
  EXPECT_FALSE(image.Patch(0x0FF, Bytes{9, 9}));
  EXPECT_EQ(image.Read(0x11C, 4), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(image.Read(0x100, 1), (Bytes{0}));
}

TEST(FirmwareImage, BlocksNeverCrossASegmentEnd) {
  FirmwareImage image;
  const Bytes big = Sequence(5000);
  ASSERT_EQ(image.Append(0x10000, big), FirmwareImage::AppendResult::Ok);
  ASSERT_EQ(image.Append(0x00400, Sequence(100)), FirmwareImage::AppendResult::Ok);
  std::vector<std::pair<std::uint32_t, std::size_t>> blocks;
  Bytes joined;
  image.ResetBlockCursor();
  while (auto block = image.NextBlock(4096)) {
    blocks.emplace_back(block->address, block->bytes.size());
    if (block->address >= 0x10000) joined.insert(joined.end(), block->bytes.begin(), block->bytes.end());
  }
  EXPECT_EQ(blocks, (std::vector<std::pair<std::uint32_t, std::size_t>>{{0x10000, 4096}, {0x11000, 904}, {0x400, 100}}));
  EXPECT_EQ(joined, big);
  EXPECT_EQ(image.TotalImageBlocks(), 3u);
}

// TotalImageBlocks is what a progress bar is scaled by: it must equal the blocks a download sends,
// also for segments of a whole multiple of the block size.
TEST(FirmwareImage, TotalBlocksCountsTheBlocksADownloadSends) {
  for (std::size_t length : {1u, 4095u, 4096u, 4097u, 8192u, 12289u}) {
    FirmwareImage image;
    ASSERT_EQ(image.Append(0, Bytes(length, 1)), FirmwareImage::AppendResult::Ok);
    ASSERT_EQ(image.Append(0x100000, Bytes(4096, 2)), FirmwareImage::AppendResult::Ok);
    std::uint32_t sent = 0;
    image.ResetBlockCursor();
    while (image.NextBlock(FirmwareImage::kBlockBytes)) ++sent;
    EXPECT_EQ(image.TotalImageBlocks(), sent) << length << " bytes";
    EXPECT_EQ(sent, (length + 4095) / 4096 + 1) << length << " bytes";
  }
  EXPECT_EQ(FirmwareImage{}.TotalImageBlocks(), 0u);
}

TEST(FirmwareImage, RefusedAppendsChangeNothing) {
  FirmwareImage image;
  EXPECT_EQ(image.Append(0, Bytes{}), FirmwareImage::AppendResult::NoData);
  EXPECT_TRUE(image.empty());
  // 255 segments fit; the 256th does not.
  for (std::uint32_t i = 0; i < 255; ++i) ASSERT_EQ(image.Append(i * 16, Bytes(1, 1)), FirmwareImage::AppendResult::Ok);
  EXPECT_EQ(image.Append(0x8000, Bytes(1, 1)), FirmwareImage::AppendResult::TooManySegments);
  EXPECT_EQ(image.Append(254 * 16 + 1, Bytes(1, 2)), FirmwareImage::AppendResult::Ok);  // still extends
  EXPECT_EQ(image.segments().size(), 255u);
}

TEST(FirmwareImage, RefusesDataOnceMoreThan204800BytesAreStored) {
  FirmwareImage image;
  std::uint32_t address = 0;
  const Bytes record(200, 0x5A);
  while (image.storedBytes() <= 204800) {
    ASSERT_EQ(image.Append(address, record), FirmwareImage::AppendResult::Ok);
    address += 200;
  }
  EXPECT_EQ(image.storedBytes(), 205000u);
  EXPECT_EQ(image.Append(address, record), FirmwareImage::AppendResult::ImageFull);
  EXPECT_EQ(image.storedBytes(), 205000u);
  image.Clear();
  EXPECT_TRUE(image.empty());
  EXPECT_EQ(image.Append(0, record), FirmwareImage::AppendResult::Ok);
}

}  // namespace
