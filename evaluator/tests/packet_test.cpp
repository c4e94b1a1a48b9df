#include <gtest/gtest.h>

#include <vector>

#include "packet.h"
#include "pacing.h"
#include "sequence_tracker.h"

using namespace airmeter;

TEST(Packet, PayloadAndCountedBytesFollowTheUnit) {
    EXPECT_EQ(payloadLength(800, PacketUnit::Mac), 758);
    EXPECT_EQ(payloadLength(800, PacketUnit::Application), 800);
    EXPECT_EQ(countedBytes(758, PacketUnit::Mac), 800u);
    EXPECT_EQ(countedBytes(758, PacketUnit::Application), 758u);
}

TEST(Packet, SizesTheBufferAndHeaderCannotHoldAreRefused) {
    struct Case { int size; PacketUnit unit; bool ok; };
    for (const Case c : {Case{8, PacketUnit::Application, true}, Case{16384, PacketUnit::Application, true},
                         Case{7, PacketUnit::Application, false}, Case{16385, PacketUnit::Application, false},
                         Case{-1, PacketUnit::Application, false}, Case{50, PacketUnit::Mac, true},
                         Case{49, PacketUnit::Mac, false}, Case{16426, PacketUnit::Mac, true},
                         Case{16427, PacketUnit::Mac, false}}) {
        const auto error = packetSizeError(c.size, c.unit);
        EXPECT_EQ(!error.has_value(), c.ok) << c.size;
        if (error) {
            EXPECT_NE(error->find(std::to_string(c.size)), std::string::npos) << *error;
        }
    }
}

TEST(Packet, HeaderCarriesLengthZeroesAndSequence) {
    std::vector<std::uint8_t> p(758, 0xEE);
    buildPacket(p.data(), 758, 0x01020304, 65);
    EXPECT_EQ(p[0], 758 & 0xFF);
    EXPECT_EQ(p[1], 758 >> 8);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(sequenceOf(p.data(), p.size()), 0x01020304u);
    for (std::size_t i = 8; i < p.size(); ++i) ASSERT_EQ(p[i], 'A') << i;
}

TEST(Packet, RandomFillIsTheRuntimeGeneratorFromSeedZero) {
    // 256 is no fill byte, so it fills at random like -1.
    for (int fill : {-1, 256}) {
        RandomFill::reseedForTest(0);
        std::vector<std::uint8_t> p(40);
        buildPacket(p.data(), 40, 0, fill);
        std::uint32_t seed = 0;
        for (std::size_t i = 8; i < p.size(); ++i) {
            seed = seed * 134775813u + 1u;
            ASSERT_EQ(p[i], seed >> 24) << i;
        }
    }
}

TEST(Packet, RandomFillContinuesTheSequenceAcrossCalls) {
    RandomFill::reseedForTest(0);
    std::uint32_t seed = 0;
    for (std::size_t length : {1u, 7u, 31u, 32u, 33u, 63u, 64u, 65u, 129u, 1000u, 3u}) {
        std::vector<std::uint8_t> bytes(length);
        RandomFill::fill(bytes.data(), length);
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 134775813u + 1u;
            ASSERT_EQ(bytes[i], seed >> 24) << length << " " << i;
        }
    }
}

TEST(Packet, ABatchOfPacketsGetsTheSameFillAsOnePacketAfterAnother) {
    // Lengths whose fill is shorter, longer and not a multiple of the generator's block.
    for (const int length : {9, 40, 72, 1024, 1031}) {
        const int count = 70;
        std::vector<std::uint8_t> batch(static_cast<std::size_t>(length) * count, 0xEE);
        RandomFill::reseedForTest(5);
        RandomFill::fillPackets(batch.data(), length, count);
        RandomFill::fillPackets(batch.data(), length, 0);  // nothing to fill: the sequence stays
        std::vector<std::uint8_t> after(3);
        RandomFill::fill(after.data(), after.size());
        std::uint32_t seed = 5;
        for (int p = 0; p < count; ++p) {
            const std::uint8_t* packet = batch.data() + static_cast<std::size_t>(p) * length;
            for (int i = 0; i < kHeaderSize; ++i) ASSERT_EQ(packet[i], 0xEE) << "header of " << p;
            for (int i = kHeaderSize; i < length; ++i) {
                seed = seed * 134775813u + 1u;
                ASSERT_EQ(packet[i], seed >> 24) << length << " packet " << p << " byte " << i;
            }
        }
        for (const std::uint8_t b : after) {
            seed = seed * 134775813u + 1u;
            ASSERT_EQ(b, seed >> 24) << "the fill after the batch, length " << length;
        }
    }
}

TEST(Pacing, PausesAfterEveryBurstPlusOnePackets) {
    struct Case { int delay, burst, expectedRun; };
    for (const Case c : {Case{10, 0, 1}, Case{10, 4, 5}, Case{10, -3, 1}}) {
        Pacer pacer(c.delay, c.burst);
        std::vector<int> pauses;
        for (int packet = 1; packet <= 3 * c.expectedRun; ++packet) {
            if (pacer.sent()) pauses.push_back(packet);
        }
        EXPECT_EQ(pauses, (std::vector<int>{c.expectedRun, 2 * c.expectedRun, 3 * c.expectedRun})) << c.burst;
    }
    Pacer burst(10, 4);
    EXPECT_EQ(burst.packetsBeforePause(64), 5);
    Pacer unpaced(0, 4);
    EXPECT_FALSE(unpaced.sent());
    EXPECT_EQ(unpaced.packetsBeforePause(64), 64);
    // The largest burst a file can name must not overflow the count of packets still due.
    Pacer huge(10, 2147483647);
    EXPECT_EQ(huge.packetsBeforePause(64), 64);
    EXPECT_FALSE(huge.sent());
    EXPECT_EQ(huge.packetsBeforePause(64), 64);
}

namespace {

std::vector<std::uint8_t> datagram(std::uint32_t sequence) {
    std::vector<std::uint8_t> p(64);
    buildPacket(p.data(), 64, sequence, 0);
    return p;
}

}  // namespace

TEST(SequenceTracker, GapsCountAsLostAndBackwardsOnlyResynchronises) {
    SequenceTracker t;
    std::uint32_t lost = 0;
    for (std::uint32_t s : {0u, 1u, 5u}) lost += t.onDatagram(datagram(s).data(), 64).lost;
    EXPECT_EQ(lost, 3u);

    SequenceTracker back;
    EXPECT_TRUE(back.onDatagram(datagram(10).data(), 64).firstSequence);
    EXPECT_EQ(back.onDatagram(datagram(3).data(), 64).lost, 0u);
    EXPECT_EQ(back.expected(), 4u);
}

TEST(SequenceTracker, ShortDatagramCarriesNoSequence) {
    SequenceTracker t;
    const std::uint8_t shortOne[7] = {0, 0, 0, 0, 99, 0, 0};
    EXPECT_FALSE(t.onDatagram(shortOne, sizeof shortOne).firstSequence);
    EXPECT_FALSE(t.synchronised());
    t.onDatagram(datagram(0).data(), 64);
    EXPECT_EQ(t.onDatagram(shortOne, sizeof shortOne).lost, 0u);
    EXPECT_EQ(t.onDatagram(datagram(1).data(), 64).lost, 0u);
}
