#include <gtest/gtest.h>

#include <thread>

#include "statistics.h"

using namespace airmeter;

TEST(Statistics, ReceiveFiguresOfSequenceZeroOneFive) {
    Statistics s;
    s.start(1000);
    s.add(3, 3000, 3);
    const auto snap = s.update(3000);
    const Figures f = formatFigures(snap.cumulative, snap.atMs, true);
    EXPECT_EQ(f.elapsedTime, "2  ");
    EXPECT_EQ(f.byteCount, "3000  ");
    EXPECT_EQ(f.kbitPerSecond, "12.000  ");
    EXPECT_EQ(f.packetPerSecond, "1.50  ");
    EXPECT_EQ(f.goodPacketCount, "3  ");
    EXPECT_EQ(f.badPacketCount, "3  ");
    EXPECT_EQ(f.totalPacketCount, "6  ");
    EXPECT_EQ(f.per, "50.00  ");
}

TEST(Statistics, NoTrafficShowsZeroPerAndElapsedRoundsTiesToEven) {
    Accumulator idle{0};
    EXPECT_EQ(formatFigures(idle, 2500, true).per, "0.00  ");
    EXPECT_EQ(formatFigures(idle, 2500, true).elapsedTime, "2  ");
    EXPECT_EQ(formatFigures(idle, 3500, true).elapsedTime, "4  ");
    EXPECT_EQ(formatFigures(idle, 0, false).kbitPerSecond, "0.000  ");  // no time passed yet
    EXPECT_EQ(formatFigures(idle, 0, false).goodPacketCount, "");       // transmit has no such row
}

TEST(Statistics, CountsGoPastTwoToThe32) {
    Statistics s;
    s.start(0);
    const std::uint64_t many = 0xFFFFFFFFu;
    s.add(many, many * 1024, many);
    s.add(many, many * 1024, many);
    const auto snap = s.update(1000);
    EXPECT_EQ(snap.cumulative.packets, 2 * many);
    EXPECT_EQ(snap.cumulative.lost, 2 * many);
    const Figures f = formatFigures(snap.cumulative, snap.atMs, true);
    EXPECT_EQ(f.goodPacketCount, "8589934590  ");
    EXPECT_EQ(f.badPacketCount, "8589934590  ");
    EXPECT_EQ(f.totalPacketCount, "17179869180  ");
    EXPECT_EQ(f.per, "50.00  ");
}

TEST(Statistics, CurrentCoversTheLastTwoIntervals) {
    Statistics s;
    s.start(0);
    s.add(1, 10);
    auto first = s.update(1000);
    EXPECT_EQ(first.current.packets, 1u);
    s.add(2, 20);
    auto second = s.update(2000);
    EXPECT_EQ(second.current.packets, 3u);  // A1 held A2 since the first update, plus new adds
    EXPECT_EQ(second.current.startMs, 0);
    s.add(4, 40);
    auto third = s.update(3000);
    EXPECT_EQ(third.current.packets, 6u);
    EXPECT_EQ(third.current.startMs, 1000);
    EXPECT_EQ(third.cumulative.packets, 7u);
    EXPECT_EQ(third.cumulative.bytes, 70u);
}

TEST(Statistics, ConcurrentAddsAndRotationsLoseNothing) {
    Statistics s;
    s.start(0);
    constexpr std::uint32_t kAdds = 200000;
    std::thread worker([&] {
        for (std::uint32_t i = 0; i < kAdds; ++i) s.add(1, 1000, 1);
    });
    std::uint64_t seenInRotations = 0;
    std::int64_t t = 0;
    for (int i = 0; i < 2000; ++i) {
        const auto snap = s.update(++t);
        // A0 is always whole: bytes and lost move with the packet count.
        ASSERT_EQ(snap.cumulative.bytes, std::uint64_t{snap.cumulative.packets} * 1000);
        ASSERT_EQ(snap.cumulative.lost, snap.cumulative.packets);
        seenInRotations = snap.cumulative.packets;
    }
    worker.join();
    const auto last = s.update(++t);
    EXPECT_GE(last.cumulative.packets, seenInRotations);
    EXPECT_EQ(last.cumulative.packets, kAdds);
    EXPECT_EQ(last.cumulative.bytes, std::uint64_t{kAdds} * 1000);
    // What the worker added after the last rotation in the loop shows as current next time.
    const auto after = s.update(++t);
    EXPECT_EQ(after.current.packets, kAdds - seenInRotations);
}

TEST(Statistics, RowsShownPerSideAndMode) {
    auto captions = [](bool receive, bool stream) {
        std::vector<std::string> out;
        for (const FigureRow& row : figureRows(receive, stream)) out.push_back(row.caption);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(captions(false, false), (V{"Elapsed Time", "Byte Count", "KBit/Second", "Packet/Second", "Total Packet Count"}));
    EXPECT_EQ(captions(false, true), (V{"Elapsed Time", "Byte Count", "KBit/Second", "Packet/Second"}));
    EXPECT_EQ(captions(true, false), (V{"Elapsed Time", "Byte Count", "KBit/Second", "Packet/Second", "Good Packet Count",
                                        "Bad Packet Count", "Total Packet Count", "PER %"}));
    EXPECT_EQ(captions(true, true), (V{"Elapsed Time", "Byte Count", "KBit/Second"}));
}
