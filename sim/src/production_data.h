// Production data area contents: the CRC that closes it, the factory records of a bench adapter
// and lookup of one record.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "vireo/sim/bench_file.h"
#include "vireo/sim/memory_map.h"

namespace vireo::sim {

using ProductionArea = std::array<BYTE, kPdaSize>;

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final inversion.
WORD crc16Arc(const BYTE* data, std::size_t size);

// The area a bench adapter leaves the factory with: identification, domain, channel set,
// manufacturing and calibration tables (plus the bench's own records), closed by the end
// record and its CRC; the rest of the 512 words erased (0xFFFF).
ProductionArea factoryProductionArea(const AdapterSpec& spec);

// The data words of record `code` in the area, walking records from word 0 until the end record.
std::optional<std::vector<WORD>> findPdr(const ProductionArea& area, WORD code);

// True when the records lead to an end record whose CRC matches the bytes before its data word.
bool endRecordCrcGood(const ProductionArea& area);

}  // namespace vireo::sim
