#include "firmware/station_identity.h"

namespace firmware {
namespace {

constexpr std::array<std::uint8_t, 2> kMagic{'S', 'F'};
// Layout 1 ends with the file name; layout 2 adds the boot check.
constexpr std::uint16_t kFirstLayout = 1;
constexpr std::uint16_t kLayoutVersion = 2;
constexpr std::size_t kFirstLayoutBytes = 34;

void Put(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put(b, static_cast<std::uint16_t>(v & 0xFFFF));
  Put(b, static_cast<std::uint16_t>(v >> 16));
}

std::uint16_t Get(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Get32(std::span<const std::uint8_t> b, std::size_t at) {
  return Get(b, at) | std::uint32_t{Get(b, at + 2)} << 16;
}

}  // namespace

// Layout: "SF", then 16-bit little-endian layout version, build sequence, component id, variant,
// major and minor, then the file name, zero padded to 20 bytes, then the checked code's start and
// length (32-bit) and its CRC (16-bit).
std::vector<std::uint8_t> EncodeStationIdentity(const StationIdentity& identity) {
  std::vector<std::uint8_t> bytes(kMagic.begin(), kMagic.end());
  for (std::uint16_t v : {kLayoutVersion, identity.buildSequence, identity.componentId, identity.variant,
                          identity.major, identity.minor}) {
    Put(bytes, v);
  }
  for (std::size_t i = 0; i < kStationFileNameBytes; ++i) {
    bytes.push_back(i < identity.fileName.size() ? static_cast<std::uint8_t>(identity.fileName[i]) : 0);
  }
  Put32(bytes, identity.checkedStart);
  Put32(bytes, identity.checkedLength);
  Put(bytes, identity.checkedCrc);
  return bytes;
}

std::optional<StationIdentity> DecodeStationIdentity(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFirstLayoutBytes || bytes[0] != kMagic[0] || bytes[1] != kMagic[1]) return std::nullopt;
  const std::uint16_t layout = Get(bytes, 2);
  if (layout != kFirstLayout && (layout != kLayoutVersion || bytes.size() < kStationIdentityBytes)) return std::nullopt;
  StationIdentity identity;
  identity.buildSequence = Get(bytes, 4);
  identity.componentId = Get(bytes, 6);
  identity.variant = Get(bytes, 8);
  identity.major = Get(bytes, 10);
  identity.minor = Get(bytes, 12);
  for (std::size_t i = 0; i < kStationFileNameBytes && bytes[kStationFileNameOffset + i] != 0; ++i) {
    identity.fileName.push_back(static_cast<char>(bytes[kStationFileNameOffset + i]));
  }
  if (layout == kLayoutVersion) {
    identity.checkedStart = Get32(bytes, 34);
    identity.checkedLength = Get32(bytes, 38);
    identity.checkedCrc = Get(bytes, 42);
  }
  return identity;
}

}  // namespace firmware
