#include "packet.h"

#include <cstring>
#include <mutex>

namespace airmeter {
namespace {

constexpr std::uint32_t kMultiplier = 134775813u;

std::mutex randomMutex;
std::uint32_t randomSeed = 0;

void putLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

int payloadLength(int packetSize, PacketUnit unit) {
    return unit == PacketUnit::Mac ? packetSize - kMacOverhead : packetSize;
}

std::optional<std::string> packetSizeError(int packetSize, PacketUnit unit) {
    const int length = payloadLength(packetSize, unit);
    if (length >= kHeaderSize && length <= kPacketBufferSize) return std::nullopt;
    const int extra = unit == PacketUnit::Mac ? kMacOverhead : 0;
    return "Packet size " + std::to_string(packetSize) + " is out of range: with unit \"" +
           unitName(unit) + "\" it must be " + std::to_string(kHeaderSize + extra) + " to " +
           std::to_string(kPacketBufferSize + extra) + " bytes.";
}

// Interleaved lanes of the same sequence, each stepping kLanes places at a time, produce exactly
// the bytes of the plain one-step loop while letting the compiler vectorise (with AVX2 where the
// processor has it).
constexpr std::uint32_t kLanes = 32;
constexpr std::uint32_t kLaneMultiplier = [] {
    std::uint32_t m = 1;
    for (std::uint32_t i = 0; i < kLanes; ++i) m *= kMultiplier;
    return m;
}();
constexpr std::uint32_t kLaneIncrement = [] {
    std::uint32_t c = 0;
    for (std::uint32_t i = 0; i < kLanes; ++i) c = c * kMultiplier + 1u;
    return c;
}();

[[gnu::target_clones("avx2", "default")]] std::uint32_t fillFrom(std::uint32_t seed, std::uint8_t* out,
                                                                  std::size_t count) {
    std::uint32_t lane[kLanes];
    std::uint32_t last = seed;  // the seed that produced the latest byte
    for (auto& l : lane) l = seed = seed * kMultiplier + 1u;
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (std::uint32_t j = 0; j < kLanes; ++j) out[i + j] = static_cast<std::uint8_t>(lane[j] >> 24);
        last = lane[kLanes - 1];
        for (auto& l : lane) l = l * kLaneMultiplier + kLaneIncrement;
    }
    for (std::size_t j = 0; i + j < count; ++j) {
        out[i + j] = static_cast<std::uint8_t>(lane[j] >> 24);
        last = lane[j];
    }
    return last;
}

void RandomFill::fill(std::uint8_t* out, std::size_t count) {
    std::lock_guard lock(randomMutex);
    randomSeed = fillFrom(randomSeed, out, count);
}

void RandomFill::reseedForTest(std::uint32_t seed) {
    std::lock_guard lock(randomMutex);
    randomSeed = seed;
}

void writeHeader(std::uint8_t* packet, int length, std::uint32_t sequence) {
    putLe16(packet, static_cast<std::uint16_t>(length));
    packet[2] = 0;
    packet[3] = 0;
    putLe32(packet + 4, sequence);
}

void buildPacket(std::uint8_t* packet, int length, std::uint32_t sequence, int fillByte) {
    writeHeader(packet, length, sequence);
    const auto fillLength = static_cast<std::size_t>(length - kHeaderSize);
    if (fixedFill(fillByte)) {
        std::memset(packet + kHeaderSize, fillByte, fillLength);
    } else {
        RandomFill::fill(packet + kHeaderSize, fillLength);
    }
}

std::optional<std::uint32_t> sequenceOf(const std::uint8_t* datagram, std::size_t length) {
    if (length < static_cast<std::size_t>(kHeaderSize)) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(datagram[4 + i]) << (8 * i);
    return v;
}

}  // namespace airmeter
