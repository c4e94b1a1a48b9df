// The production data area as a collection of records: walking an area read from the adapter or
// from a PDA text file, and building the area image that is written back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/adapter_port.h"

namespace firmware {

// A record as the PDA collection holds it.
struct PdaRecord {
  std::uint16_t code = 0;
  std::vector<std::uint8_t> data;  // data words, low byte first
  // The length word: data words + 1.
  std::uint16_t length() const { return static_cast<std::uint16_t>(data.size() / 2 + 1); }
};

// The collection key of a code: lower-case hexadecimal, at least four digits; codes from 0x8000
// up are taken as negative 16-bit numbers ("ffff8000").
std::string PdrKey(std::uint16_t code);

struct AreaWalk {
  bool malformed = false;  // a record length out of range: nothing is to be kept
  bool complete = false;   // the walk took at least one acceptable record (file) / the end record (adapter)
  std::vector<PdaRecord> records;  // in area order, the first record of each code
  // Adapter areas: the CRC the end record holds and the one computed over the records before it.
  std::uint16_t storedCrc = 0;
  std::uint16_t computedCrc = 0;
  bool crcMatches() const { return storedCrc == computedCrc; }
};

// The 512 words read from the adapter, up to and including the end record (code 0).
AreaWalk WalkAdapterArea(std::span<const std::uint16_t> words);
// The words of a PDA text file: every record, code 0 included.
AreaWalk WalkFileWords(std::span<const std::uint16_t> words);

// The bytes written to the area for `records` (in collection order): each record except those of
// code 0, then a fresh end record with the CRC-16 of everything before it. Empty with `error` set
// when a record has no whole data words or the records do not fit the area.
std::optional<std::vector<std::uint8_t>> BuildAreaImage(std::span<const PdaRecord> records,
                                                        std::string& error);

enum class AreaWrite {
  Written,     // the area holds exactly the image
  Failed,      // a request failed
  NotHeld,     // the write was accepted, but the area read back holds other bytes
};

// Writes an area image to the adapter with protocols blocked and reads the area back to check it.
AreaWrite WriteProductionArea(AdapterPort& port, std::span<const std::uint8_t> image);

}  // namespace firmware
