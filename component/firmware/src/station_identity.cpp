#include "firmware/station_identity.h"

namespace firmware {
namespace {

constexpr std::array<std::uint8_t, 2> kMagic{'S', 'F'};
constexpr std::uint16_t kLayoutVersion = 1;

void Put(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::uint16_t Get(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

// Layout: "SF", then 16-bit little-endian layout version, build sequence, component id, variant,
// major and minor, then the file name, zero padded to 20 bytes.
std::vector<std::uint8_t> EncodeStationIdentity(const StationIdentity& identity) {
  std::vector<std::uint8_t> bytes(kMagic.begin(), kMagic.end());
  for (std::uint16_t v : {kLayoutVersion, identity.buildSequence, identity.componentId, identity.variant,
                          identity.major, identity.minor}) {
    Put(bytes, v);
  }
  for (std::size_t i = 0; i < kStationFileNameBytes; ++i) {
    bytes.push_back(i < identity.fileName.size() ? static_cast<std::uint8_t>(identity.fileName[i]) : 0);
  }
  return bytes;
}

std::optional<StationIdentity> DecodeStationIdentity(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kStationIdentityBytes || bytes[0] != kMagic[0] || bytes[1] != kMagic[1] ||
      Get(bytes, 2) != kLayoutVersion) {
    return std::nullopt;
  }
  StationIdentity identity;
  identity.buildSequence = Get(bytes, 4);
  identity.componentId = Get(bytes, 6);
  identity.variant = Get(bytes, 8);
  identity.major = Get(bytes, 10);
  identity.minor = Get(bytes, 12);
  for (std::size_t i = 0; i < kStationFileNameBytes && bytes[kStationFileNameOffset + i] != 0; ++i) {
    identity.fileName.push_back(static_cast<char>(bytes[kStationFileNameOffset + i]));
  }
  return identity;
}

}  // namespace firmware
