#include "packet.h"

#include <algorithm>
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

namespace {

// The generator as an affine map: n steps take a seed s to multiplier * s + increment.
struct Affine {
    std::uint32_t multiplier = 1;
    std::uint32_t increment = 0;
    // This map followed by `next`.
    constexpr Affine then(Affine next) const {
        return {multiplier * next.multiplier, increment * next.multiplier + next.increment};
    }
};

constexpr Affine kStep{kMultiplier, 1u};

// n steps at once, by squaring: a far skip costs a few multiplications.
constexpr Affine steps(std::uint64_t n) {
    Affine result, power = kStep;
    for (; n != 0; n >>= 1, power = power.then(power)) {
        if (n & 1) result = result.then(power);
    }
    return result;
}

// kLanes consecutive places of the sequence are computed side by side, each lane stepping kLanes
// places at a time: the bytes are exactly those of the one-step loop, but the lanes are
// independent, so the compiler vectorises them (with AVX-512 or AVX2 where the processor has it).
constexpr std::size_t kLanes = 128;
constexpr std::size_t kVectorLanes = 16;
using Lanes = std::uint32_t __attribute__((vector_size(kVectorLanes * sizeof(std::uint32_t))));
using LaneBytes = std::uint8_t __attribute__((vector_size(kVectorLanes)));

struct LaneTable {
    std::uint32_t multiplier[kLanes];  // lane j holds seed * multiplier[j] + increment[j]
    std::uint32_t increment[kLanes];
};

constexpr LaneTable kLaneStart = [] {
    LaneTable t{};
    Affine a;
    for (std::size_t j = 0; j < kLanes; ++j) {
        a = a.then(kStep);
        t.multiplier[j] = a.multiplier;
        t.increment[j] = a.increment;
    }
    return t;
}();
constexpr Affine kLaneStep = steps(kLanes);

// Fills `count` segments of `length` bytes, `stride` bytes apart, with consecutive bytes of the
// sequence that follows `seed`. The lanes live in eight vectors, named so that they stay in
// registers; eight independent chains hide the multiplier's latency.
[[gnu::target_clones("arch=x86-64-v4", "avx2", "default")]] void fillLanes(std::uint32_t seed, std::uint8_t* out,
                                                                          std::size_t length, std::size_t stride,
                                                                          std::size_t count) {
    static_assert(kLanes == 8 * kVectorLanes);
    Lanes start[8];
    for (std::size_t v = 0; v < 8; ++v) {
        Lanes m, i;
        std::memcpy(&m, kLaneStart.multiplier + v * kVectorLanes, sizeof m);
        std::memcpy(&i, kLaneStart.increment + v * kVectorLanes, sizeof i);
        start[v] = m * seed + i;
    }
    Lanes l0 = start[0], l1 = start[1], l2 = start[2], l3 = start[3];
    Lanes l4 = start[4], l5 = start[5], l6 = start[6], l7 = start[7];
    // One block of kLanes bytes. Each vector's bytes are stored straight to the output: one wide
    // copy from a stack array would stall on forwarding the narrow stores.
    auto produce = [&](std::uint8_t* to) {
        const LaneBytes b0 = __builtin_convertvector(l0 >> 24, LaneBytes);
        const LaneBytes b1 = __builtin_convertvector(l1 >> 24, LaneBytes);
        const LaneBytes b2 = __builtin_convertvector(l2 >> 24, LaneBytes);
        const LaneBytes b3 = __builtin_convertvector(l3 >> 24, LaneBytes);
        const LaneBytes b4 = __builtin_convertvector(l4 >> 24, LaneBytes);
        const LaneBytes b5 = __builtin_convertvector(l5 >> 24, LaneBytes);
        const LaneBytes b6 = __builtin_convertvector(l6 >> 24, LaneBytes);
        const LaneBytes b7 = __builtin_convertvector(l7 >> 24, LaneBytes);
        std::memcpy(to, &b0, kVectorLanes);
        std::memcpy(to + kVectorLanes, &b1, kVectorLanes);
        std::memcpy(to + 2 * kVectorLanes, &b2, kVectorLanes);
        std::memcpy(to + 3 * kVectorLanes, &b3, kVectorLanes);
        std::memcpy(to + 4 * kVectorLanes, &b4, kVectorLanes);
        std::memcpy(to + 5 * kVectorLanes, &b5, kVectorLanes);
        std::memcpy(to + 6 * kVectorLanes, &b6, kVectorLanes);
        std::memcpy(to + 7 * kVectorLanes, &b7, kVectorLanes);
        constexpr std::uint32_t m = kLaneStep.multiplier, i = kLaneStep.increment;
        l0 = l0 * m + i, l1 = l1 * m + i, l2 = l2 * m + i, l3 = l3 * m + i;
        l4 = l4 * m + i, l5 = l5 * m + i, l6 = l6 * m + i, l7 = l7 * m + i;
    };
    // The latest block of kLanes bytes; `used` of them have been handed out.
    std::uint8_t block[kLanes];
    std::size_t used = kLanes;
    for (std::size_t s = 0; s < count; ++s) {
        std::uint8_t* to = out + s * stride;
        std::size_t left = length;
        if (used < kLanes) {  // the rest of a block that the last segment began
            const std::size_t n = std::min(left, kLanes - used);
            std::memcpy(to, block + used, n);
            used += n;
            to += n;
            left -= n;
        }
        for (; left >= kLanes; left -= kLanes, to += kLanes) produce(to);
        if (left > 0) {
            produce(block);
            std::memcpy(to, block, left);
            used = left;
        }
    }
}

void fillSegments(std::uint8_t* out, std::size_t length, std::size_t stride, std::size_t count) {
    std::lock_guard lock(randomMutex);
    fillLanes(randomSeed, out, length, stride, count);
    const Affine skip = steps(static_cast<std::uint64_t>(length) * count);
    randomSeed = randomSeed * skip.multiplier + skip.increment;
}

}  // namespace

void RandomFill::fill(std::uint8_t* out, std::size_t count) { fillSegments(out, count, count, 1); }

void RandomFill::fillPackets(std::uint8_t* first, int length, int count) {
    if (count <= 0 || length <= kHeaderSize) return;
    fillSegments(first + kHeaderSize, static_cast<std::size_t>(length - kHeaderSize),
                 static_cast<std::size_t>(length), static_cast<std::size_t>(count));
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
