// Writer of station firmware images in S-record form: data records, plug records (the file-name
// plug among them), CRC records, firmware information records and the execution address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/plug_list.h"

namespace firmware {

struct SegmentLayout {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
};

struct CrcRecordLayout {
  std::uint32_t address = 0;  // the marker goes to the two bytes before it
  std::uint32_t flag = 1;
};

// One firmware information record: its type and the words that follow the type word.
struct InfoRecordLayout {
  std::uint16_t type = 0;
  std::vector<std::uint16_t> words;
};

struct ImageLayout {
  std::string header = "station firmware";          // S0 text
  std::vector<SegmentLayout> segments;
  std::vector<PlugRecord> plugs;
  std::vector<CrcRecordLayout> crcs;
  std::vector<InfoRecordLayout> infos;
  std::uint32_t executionAddress = 0;
  unsigned dataAddressBytes = 4;                     // 2 (S1), 3 (S2) or 4 (S3)
  unsigned bytesPerRecord = 32;                      // 1..250
};

// Information records of each kind.
InfoRecordLayout VersionInfoRecord(std::uint16_t id, std::uint16_t variant, std::uint16_t major,
                                 std::uint16_t minor);
InfoRecordLayout CompatibilityInfoRecord(std::uint16_t role, std::uint16_t ifid, std::uint16_t variant,
                                       std::uint16_t bottom, std::uint16_t top);
InfoRecordLayout BuildSequenceInfoRecord(std::uint16_t sequence);
InfoRecordLayout PlatformInfoRecord(std::uint16_t platformId, std::uint16_t variant,
                                  std::uint16_t bottom, std::uint16_t top);

// One S-record line (without line end) of the given type.
std::string SrecLine(unsigned type, std::uint32_t address, const std::vector<std::uint8_t>& data);

// The whole file text; throws std::invalid_argument for a layout that cannot be written (address
// too wide for the chosen record type, record size out of range, information record too long).
std::string WriteSrec(const ImageLayout& layout);

}  // namespace firmware
