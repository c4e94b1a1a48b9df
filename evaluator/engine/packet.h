// The test packet: 16-bit payload length at offset 0, bytes 2-3 zero, 32-bit sequence number at
// offset 4, fill from offset 8; all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "test_settings.h"

namespace airmeter {

inline constexpr int kMacOverhead = 42;  // MAC, IP and UDP headers counted with unit "MAC"
inline constexpr int kHeaderSize = 8;
inline constexpr int kPacketBufferSize = 16384;
inline constexpr int kReceiveBufferSize = 16388;

// Bytes handed to the socket for one packet.
int payloadLength(int packetSize, PacketUnit unit);

// Bytes a counter adds for a socket byte count.
inline std::uint64_t countedBytes(std::uint64_t socketBytes, PacketUnit unit) {
    return socketBytes + (unit == PacketUnit::Mac ? kMacOverhead : 0);
}

// Why a packet size cannot be sent, or nothing when it can.
std::optional<std::string> packetSizeError(int packetSize, PacketUnit unit);

// The runtime's linear congruential generator, shared by the whole process and seeded with 0 at
// program start.
class RandomFill {
public:
    static void fill(std::uint8_t* out, std::size_t count);
    // Fills bytes kHeaderSize..length-1 of `count` packets of `length` bytes laid out back to
    // back, with one stretch of the sequence: the same bytes as one fill() per packet.
    static void fillPackets(std::uint8_t* first, int length, int count);
    static void reseedForTest(std::uint32_t seed);
};

// Writes the header and the fill of one packet of `length` bytes (length >= kHeaderSize).
// fillByte 0..255 writes that byte; any other value writes random bytes.
void buildPacket(std::uint8_t* packet, int length, std::uint32_t sequence, int fillByte);

// Writes only the header; for packets whose fixed fill is already in place.
void writeHeader(std::uint8_t* packet, int length, std::uint32_t sequence);

inline bool fixedFill(int fillByte) { return fillByte >= 0 && fillByte <= 255; }

// The sequence number of a received datagram, or nothing when it is shorter than the header.
std::optional<std::uint32_t> sequenceOf(const std::uint8_t* datagram, std::size_t length);

}  // namespace airmeter
