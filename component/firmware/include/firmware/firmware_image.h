// FirmwareImage: the station firmware held in memory as address-tagged segments. Segment data
// lie back to back, in load order, across 2048-byte pages allocated on demand. Segments are never
// sorted or merged backwards: a new one starts whenever data do not continue the last segment.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace firmware {

class FirmwareImage {
 public:
  static constexpr std::size_t kPageBytes = 2048;
  static constexpr std::size_t kPageSlots = 256;
  // Appends are refused once this many pages have been started (204800 bytes stored).
  static constexpr std::size_t kAppendPageLimit = 100;
  static constexpr std::size_t kMaxSegments = 255;
  // A download sends at most this many bytes per block.
  static constexpr std::size_t kBlockBytes = 4096;

  struct Segment {
    std::uint16_t page = 0;     // page of the first byte
    std::uint32_t offset = 0;   // offset of the first byte within that page
    std::uint32_t length = 0;
    std::uint32_t address = 0;
    std::uint64_t end() const { return std::uint64_t{address} + length; }
  };

  enum class AppendResult { Ok, NoData, ImageFull, TooManySegments };

  struct Block {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
  };

  FirmwareImage() = default;
  FirmwareImage(const FirmwareImage&) = delete;
  FirmwareImage& operator=(const FirmwareImage&) = delete;

  void Clear();

  // Appends bytes at `address`; extends the last segment when the address continues it, else
  // starts a new segment. A refused append changes nothing.
  AppendResult Append(std::uint32_t address, std::span<const std::uint8_t> bytes);

  // Overwrites loaded data; fails, writing nothing, unless the whole range is loaded.
  bool Patch(std::uint32_t address, std::span<const std::uint8_t> bytes);

  // Reads loaded data back (tests, diagnostics); empty unless the whole range is loaded.
  std::optional<std::vector<std::uint8_t>> Read(std::uint32_t address, std::size_t length) const;

  // Block iteration: blocks of at most `maxBytes`, never crossing a segment end.
  void ResetBlockCursor();
  std::optional<Block> NextBlock(std::size_t maxBytes);

  // The number of blocks a download sends: per segment, its length over kBlockBytes, rounded up.
  std::uint32_t TotalImageBlocks() const;

  std::span<const Segment> segments() const { return std::span(segments_).first(segmentCount_); }
  std::size_t storedBytes() const;
  bool empty() const { return segmentCount_ == 0; }

  void SetExecutionAddress(std::uint32_t address) { executionAddress_ = address; }
  std::optional<std::uint32_t> executionAddress() const { return executionAddress_; }

 private:
  using Page = std::array<std::uint8_t, kPageBytes>;

  std::size_t WriteLinear() const { return std::size_t{writePage_} * kPageBytes + writeOffset_; }
  static std::size_t LinearOf(const Segment& s) { return std::size_t{s.page} * kPageBytes + s.offset; }
  void CopyOut(std::size_t linear, std::span<std::uint8_t> dest) const;
  void CopyIn(std::size_t linear, std::span<const std::uint8_t> src);
  // Finds the first segment (in load order) holding `address`.
  const Segment* SegmentHolding(std::uint64_t address) const;
  bool Covered(std::uint64_t address, std::size_t length) const;

  std::array<std::unique_ptr<Page>, kPageSlots> pages_;
  std::uint16_t writePage_ = 0;
  std::uint32_t writeOffset_ = 0;
  std::array<Segment, kMaxSegments> segments_{};
  std::uint16_t segmentCount_ = 0;
  // Block cursor.
  std::uint16_t cursorSegment_ = 0;  // index into segments_
  std::uint32_t cursorOffset_ = 0;
  std::optional<std::uint32_t> executionAddress_;
};

}  // namespace firmware
