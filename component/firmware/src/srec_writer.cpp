#include "firmware/srec_writer.h"

#include <algorithm>
#include <stdexcept>

#include "firmware/srec_reader.h"

namespace firmware {
namespace {

unsigned AddressBytesOf(unsigned type) {
  switch (type) {
    case 0: case 1: case 5: case 9: return 2;
    case 2: case 8: return 3;
    case 3: case 7: return 4;
    default: throw std::invalid_argument("unsupported S-record type");
  }
}

void AppendHexByte(std::string& text, std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  text.push_back(kDigits[byte >> 4]);
  text.push_back(kDigits[byte & 0xF]);
}

void AppendLe32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::vector<std::uint8_t> InfoBytes(const InfoRecordLayout& info) {
  if (info.words.size() + 1 > 20) throw std::invalid_argument("firmware info record longer than 20 words");
  std::vector<std::uint16_t> words{static_cast<std::uint16_t>(info.words.size() + 1), info.type};
  words.insert(words.end(), info.words.begin(), info.words.end());
  std::vector<std::uint8_t> bytes;
  for (std::uint16_t w : words) {
    bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return bytes;
}

}  // namespace

InfoRecordLayout VersionInfoRecord(std::uint16_t id, std::uint16_t variant, std::uint16_t major,
                                 std::uint16_t minor) {
  return {1, {id, variant, major, minor}};
}

InfoRecordLayout CompatibilityInfoRecord(std::uint16_t role, std::uint16_t ifid, std::uint16_t variant,
                                       std::uint16_t bottom, std::uint16_t top) {
  return {2, {role, ifid, variant, bottom, top}};
}

InfoRecordLayout BuildSequenceInfoRecord(std::uint16_t sequence) { return {3, {sequence}}; }

InfoRecordLayout PlatformInfoRecord(std::uint16_t platformId, std::uint16_t variant,
                                  std::uint16_t bottom, std::uint16_t top) {
  return {4, {platformId, variant, bottom, top}};
}

std::string SrecLine(unsigned type, std::uint32_t address, const std::vector<std::uint8_t>& data) {
  const unsigned addressBytes = AddressBytesOf(type);
  if (addressBytes < 4 && (address >> (8 * addressBytes)) != 0) {
    throw std::invalid_argument("address too wide for the S-record type");
  }
  const std::size_t count = addressBytes + data.size() + 1;
  if (count > 255) throw std::invalid_argument("S-record longer than 255 bytes");
  std::string line = "S";
  line.push_back(static_cast<char>('0' + type));
  unsigned sum = static_cast<unsigned>(count);
  AppendHexByte(line, static_cast<std::uint8_t>(count));
  for (int i = static_cast<int>(addressBytes) - 1; i >= 0; --i) {
    const auto byte = static_cast<std::uint8_t>(address >> (8 * i));
    sum += byte;
    AppendHexByte(line, byte);
  }
  for (std::uint8_t byte : data) {
    sum += byte;
    AppendHexByte(line, byte);
  }
  AppendHexByte(line, static_cast<std::uint8_t>(~sum & 0xFF));
  return line;
}

std::string WriteSrec(const ImageLayout& layout) {
  if (layout.dataAddressBytes < 2 || layout.dataAddressBytes > 4) {
    throw std::invalid_argument("data address width must be 2, 3 or 4 bytes");
  }
  if (layout.bytesPerRecord < 1 || layout.bytesPerRecord > 250) {
    throw std::invalid_argument("bytes per record must be 1 to 250");
  }
  const unsigned dataType = layout.dataAddressBytes - 1;
  const unsigned execType = 10 - dataType;  // S7 with S3, S8 with S2, S9 with S1
  std::string text;
  auto emit = [&text](const std::string& line) {
    text += line;
    text += '\n';
  };
  emit(SrecLine(0, 0, std::vector<std::uint8_t>(layout.header.begin(), layout.header.end())));
  for (const SegmentLayout& segment : layout.segments) {
    if (segment.bytes.empty()) throw std::invalid_argument("empty data segment");
    if (std::uint64_t{segment.address} + segment.bytes.size() > kSpecialRecordBase) {
      throw std::invalid_argument("data segment reaches the side-information address range");
    }
    for (std::size_t at = 0; at < segment.bytes.size(); at += layout.bytesPerRecord) {
      const std::size_t n = std::min<std::size_t>(layout.bytesPerRecord, segment.bytes.size() - at);
      emit(SrecLine(dataType, static_cast<std::uint32_t>(segment.address + at),
                    std::vector<std::uint8_t>(segment.bytes.begin() + at, segment.bytes.begin() + at + n)));
    }
  }
  for (const PlugRecord& plug : layout.plugs) {
    std::vector<std::uint8_t> bytes;
    AppendLe32(bytes, plug.code);
    AppendLe32(bytes, plug.address);
    AppendLe32(bytes, plug.length);
    emit(SrecLine(3, kPlugRecordAddress, bytes));
  }
  for (const CrcRecordLayout& crc : layout.crcs) {
    std::vector<std::uint8_t> bytes;
    AppendLe32(bytes, crc.address);
    AppendLe32(bytes, 0);
    AppendLe32(bytes, crc.flag);
    emit(SrecLine(3, kCrcRecordAddress, bytes));
  }
  for (const InfoRecordLayout& info : layout.infos) emit(SrecLine(3, kInfoRecordAddress, InfoBytes(info)));
  emit(SrecLine(execType, layout.executionAddress, {}));
  return text;
}

}  // namespace firmware
