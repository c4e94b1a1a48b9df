#include "firmware/station_image.h"

#include <algorithm>
#include <stdexcept>

#include "firmware/crc16.h"
#include "firmware/station_identity.h"

namespace firmware {

std::vector<std::uint8_t> PseudoRandomBytes(std::size_t count, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

ImageLayout MakeStationImageLayout(const StationImageOptions& options) {
  if (options.codeBytes < 0x400) throw std::invalid_argument("a station image needs at least 1024 code bytes");
  ImageLayout layout;
  layout.header = "station firmware";
  layout.bytesPerRecord = options.bytesPerRecord;
  SegmentLayout code{0, PseudoRandomBytes(options.codeBytes, options.seed)};
  StationIdentity identity;
  identity.buildSequence = options.buildSequence;
  identity.major = options.major;
  identity.minor = options.minor;
  identity.variant = options.variant;
  // The boot check covers the code after the CRC marker; the plugged tables lie before it.
  identity.checkedStart = kStationCrcAddress;
  identity.checkedLength = static_cast<std::uint32_t>(code.bytes.size() - kStationCrcAddress);
  identity.checkedCrc = Crc16Arc(std::span(code.bytes).subspan(kStationCrcAddress));
  const auto block = EncodeStationIdentity(identity);
  std::copy(block.begin(), block.end(), code.bytes.begin() + kStationIdentityAddress);
  layout.segments.push_back(std::move(code));

  layout.plugs = {
      {kFileNamePlugCode, kStationIdentityAddress + kStationFileNameOffset, kStationFileNameBytes},
      {0x0103, kStationDomainPlug, 12},
      {0x0300, kStationSetPointsPlug, 28},
      {0x0301, kStationIntegratorsPlug, 34},
  };
  layout.crcs = {{kStationCrcAddress, 1}};
  layout.infos = {
      VersionInfoRecord(kStationComponentId, options.variant, options.major, options.minor),
      CompatibilityInfoRecord(1, 1, 1, 1, 2),
      CompatibilityInfoRecord(1, 2, 1, 1, 1),
      PlatformInfoRecord(0x8002, 1, 1, 1),
      BuildSequenceInfoRecord(options.buildSequence),
  };
  layout.executionAddress = 0x000000;
  return layout;
}

}  // namespace firmware
