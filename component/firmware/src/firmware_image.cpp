#include "firmware/firmware_image.h"

#include <algorithm>
#include <cstring>

namespace firmware {

void FirmwareImage::Clear() {
  for (auto& page : pages_) page.reset();
  writePage_ = 0;
  writeOffset_ = 0;
  segmentCount_ = 0;
  ResetBlockCursor();
  executionAddress_.reset();
}

FirmwareImage::AppendResult FirmwareImage::Append(std::uint32_t address,
                                                  std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return AppendResult::NoData;
  if (writePage_ >= kAppendPageLimit) return AppendResult::ImageFull;
  const std::size_t capacity = kPageSlots * kPageBytes - WriteLinear();
  if (bytes.size() > capacity) return AppendResult::ImageFull;
  const bool extends = segmentCount_ != 0 && segments_[segmentCount_ - 1].end() == address;
  if (!extends) {
    if (segmentCount_ == kMaxSegments) return AppendResult::TooManySegments;
    if (segmentCount_ == 0) pages_[0] = std::make_unique<Page>();
    segments_[segmentCount_++] = Segment{writePage_, writeOffset_, 0, address};
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (writeOffset_ == kPageBytes) {
      ++writePage_;
      writeOffset_ = 0;
    }
    if (!pages_[writePage_]) pages_[writePage_] = std::make_unique<Page>();
    const std::size_t chunk = std::min(bytes.size() - done, kPageBytes - writeOffset_);
    std::memcpy(pages_[writePage_]->data() + writeOffset_, bytes.data() + done, chunk);
    writeOffset_ += static_cast<std::uint32_t>(chunk);
    done += chunk;
  }
  segments_[segmentCount_ - 1].length += static_cast<std::uint32_t>(bytes.size());
  return AppendResult::Ok;
}

void FirmwareImage::CopyOut(std::size_t linear, std::span<std::uint8_t> dest) const {
  std::size_t done = 0;
  while (done < dest.size()) {
    const std::size_t page = (linear + done) / kPageBytes;
    const std::size_t offset = (linear + done) % kPageBytes;
    const std::size_t chunk = std::min(dest.size() - done, kPageBytes - offset);
    std::memcpy(dest.data() + done, pages_[page]->data() + offset, chunk);
    done += chunk;
  }
}

void FirmwareImage::CopyIn(std::size_t linear, std::span<const std::uint8_t> src) {
  std::size_t done = 0;
  while (done < src.size()) {
    const std::size_t page = (linear + done) / kPageBytes;
    const std::size_t offset = (linear + done) % kPageBytes;
    const std::size_t chunk = std::min(src.size() - done, kPageBytes - offset);
    std::memcpy(pages_[page]->data() + offset, src.data() + done, chunk);
    done += chunk;
  }
}

const FirmwareImage::Segment* FirmwareImage::SegmentHolding(std::uint64_t address) const {
  for (const Segment& s : segments()) {
    if (address >= s.address && address < s.end()) return &s;
  }
  return nullptr;
}

bool FirmwareImage::Covered(std::uint64_t address, std::size_t length) const {
  const std::uint64_t end = address + length;
  while (address < end) {
    const Segment* s = SegmentHolding(address);
    if (s == nullptr) return false;
    address = s->end();
  }
  return true;
}

bool FirmwareImage::Patch(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (!Covered(address, bytes.size())) return false;
  const std::uint64_t begin = address;
  const std::uint64_t end = begin + bytes.size();
  for (const Segment& s : segments()) {
    const std::uint64_t from = std::max<std::uint64_t>(begin, s.address);
    const std::uint64_t to = std::min<std::uint64_t>(end, s.end());
    if (from >= to) continue;
    CopyIn(LinearOf(s) + (from - s.address), bytes.subspan(from - begin, to - from));
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> FirmwareImage::Read(std::uint32_t address,
                                                             std::size_t length) const {
  if (!Covered(address, length)) return std::nullopt;
  std::vector<std::uint8_t> bytes(length);
  std::uint64_t at = address;
  const std::uint64_t end = at + length;
  while (at < end) {
    const Segment* s = SegmentHolding(at);
    const std::uint64_t to = std::min<std::uint64_t>(end, s->end());
    CopyOut(LinearOf(*s) + (at - s->address),
            std::span(bytes).subspan(at - address, to - at));
    at = to;
  }
  return bytes;
}

void FirmwareImage::ResetBlockCursor() {
  cursorSegment_ = 0;
  cursorOffset_ = 0;
}

std::optional<FirmwareImage::Block> FirmwareImage::NextBlock(std::size_t maxBytes) {
  if (maxBytes == 0) return std::nullopt;
  while (cursorSegment_ < segmentCount_ && cursorOffset_ >= segments_[cursorSegment_].length) {
    ++cursorSegment_;
    cursorOffset_ = 0;
  }
  if (cursorSegment_ >= segmentCount_) return std::nullopt;
  const Segment& s = segments_[cursorSegment_];
  const std::size_t length = std::min<std::size_t>(maxBytes, s.length - cursorOffset_);
  Block block{s.address + cursorOffset_, std::vector<std::uint8_t>(length)};
  CopyOut(LinearOf(s) + cursorOffset_, block.bytes);
  cursorOffset_ += static_cast<std::uint32_t>(length);
  return block;
}

std::uint32_t FirmwareImage::TotalImageBlocks() const {
  std::uint32_t total = 0;
  for (const Segment& s : segments()) total += (s.length + kBlockBytes - 1) / kBlockBytes;
  return total;
}

std::size_t FirmwareImage::storedBytes() const {
  std::size_t total = 0;
  for (const Segment& s : segments()) total += s.length;
  return total;
}

}  // namespace firmware
