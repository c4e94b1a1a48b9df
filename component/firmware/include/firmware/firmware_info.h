// FirmwareInfo: the component versions, compatibility ranges, build sequence and platforms that a
// firmware image declares in its information records.
#pragma once

#include <array>
#include <cstdint>

namespace firmware {

struct VersionSlot {
  bool valid = false;
  std::int16_t type = 0, major = 0, minor = 0, variant = 0;
};

struct CompatibilityEntry {
  bool valid = false;
  std::int16_t role = 0, ifid = 0, variant = 0, bottom = 0, top = 0;
};

struct PlatformEntry {
  bool valid = false;
  std::int16_t platformId = 0, variant = 0, bottom = 0, top = 0;
};

struct FirmwareInfo {
  static constexpr std::uint16_t kComponentA = 21;   // version slot A
  static constexpr std::uint16_t kComponentB = 31;   // version slot B
  static constexpr std::size_t kCompatibilityEntries = 5;
  static constexpr std::size_t kPlatformEntries = 50;

  VersionSlot versionA;
  VersionSlot versionB;
  std::array<CompatibilityEntry, kCompatibilityEntries> compatibility{};
  std::uint16_t buildSequence = 0;
  std::array<PlatformEntry, kPlatformEntries> platforms{};
};

}  // namespace firmware
