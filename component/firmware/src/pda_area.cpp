#include "firmware/pda_area.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "firmware/crc16.h"

namespace firmware {
namespace {

constexpr std::uint16_t kMaxAreaRecordLength = 509;

PdaRecord RecordAt(std::span<const std::uint16_t> words, std::size_t i) {
  PdaRecord record{words[i + 1], {}};
  const std::size_t dataWords = words[i] - 1u;
  record.data.reserve(2 * dataWords);
  for (std::size_t k = 0; k < dataWords; ++k) {
    const std::uint16_t w = words[i + 2 + k];
    record.data.push_back(static_cast<std::uint8_t>(w & 0xFF));
    record.data.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return record;
}

AreaWalk Malformed() { return AreaWalk{true, false, {}}; }

void Keep(AreaWalk& walk, std::set<std::uint16_t>& seen, PdaRecord record) {
  if (seen.insert(record.code).second) walk.records.push_back(std::move(record));
}

void PutLe16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The CRC-16 of the area's bytes up to and including the end record's code word.
std::uint16_t AreaCrc(std::span<const std::uint16_t> words) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * words.size());
  for (std::uint16_t w : words) PutLe16(bytes, w);
  return Crc16Arc(bytes);
}

// Walks records from word 0. A record must lie wholly within the words read and carry a length
// word from 2 to maxLength; the adapter's area ends with its end record (code 0), a file's words
// hold records only.
AreaWalk Walk(std::span<const std::uint16_t> words, std::uint16_t maxLength, bool endRecordCloses) {
  AreaWalk walk;
  std::set<std::uint16_t> seen;
  const std::size_t n = words.size();
  for (std::size_t i = 0; i < n;) {
    if (i + 1 >= n) return Malformed();
    const std::uint16_t length = words[i];
    const std::uint16_t code = words[i + 1];
    if (length < 2 || length > maxLength || i + length >= n) return Malformed();
    Keep(walk, seen, RecordAt(words, i));
    if (endRecordCloses && code == 0) {
      walk.complete = true;
      walk.storedCrc = words[i + 2];
      walk.computedCrc = AreaCrc(words.first(i + 2));
      break;
    }
    if (!endRecordCloses) walk.complete = true;
    i += std::size_t{length} + 1;
  }
  return walk;
}

}  // namespace

std::string PdrKey(std::uint16_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(static_cast<std::int32_t>(static_cast<std::int16_t>(code))));
  return text;
}

AreaWalk WalkAdapterArea(std::span<const std::uint16_t> words) { return Walk(words, kMaxAreaRecordLength, true); }

AreaWalk WalkFileWords(std::span<const std::uint16_t> words) { return Walk(words, 0xFFFF, false); }

std::optional<std::vector<std::uint8_t>> BuildAreaImage(std::span<const PdaRecord> records,
                                                        std::string& error) {
  std::vector<std::uint8_t> bytes;
  for (const PdaRecord& record : records) {
    if (record.code == 0) continue;
    // Only whole data words can be described by the length word; anything else would shift every
    // following record.
    if (record.data.empty() || record.data.size() % 2 != 0) {
      error = "PDR " + PdrKey(record.code) + " does not hold whole 16-bit data words";
      return std::nullopt;
    }
    PutLe16(bytes, record.length());
    PutLe16(bytes, record.code);
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
  }
  PutLe16(bytes, 2);
  PutLe16(bytes, 0);
  const std::uint16_t crc = Crc16Arc(bytes);
  PutLe16(bytes, crc);
  if (bytes.size() > kProductionAreaBytes) {
    error = "records need " + std::to_string(bytes.size()) + " bytes, the production data area holds " +
            std::to_string(kProductionAreaBytes);
    return std::nullopt;
  }
  return bytes;
}

AreaWrite WriteProductionArea(AdapterPort& port, std::span<const std::uint8_t> image) {
  if (!port.BlockProtocols()) {
    port.UnblockProtocols();
    return AreaWrite::Failed;
  }
  AreaWrite result = port.ProgramMemory(kProductionAreaAddress, image) ? AreaWrite::Written : AreaWrite::Failed;
  // An accepted write request does not prove the area took the bytes: read them back.
  if (result == AreaWrite::Written) {
    std::array<std::uint8_t, kProductionAreaBytes> area{};
    if (!port.ReadProductionArea(area))
      result = AreaWrite::Failed;
    else if (!std::equal(image.begin(), image.end(), area.begin()))
      result = AreaWrite::NotHeld;
  }
  port.UnblockProtocols();
  return result;
}

}  // namespace firmware
