// Run statistics: three accumulators fed together by the worker. A0 covers the whole run, A1 is
// shown as "current" and A2 collects since the last update; every update shows A0 and A1, then A1
// takes over A2 and A2 restarts. One lock keeps adds and the rotation whole.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace airmeter {

// Milliseconds of a monotonic system clock.
std::int64_t nowMs();

// 64-bit counts: a full-rate run on a fast link passes 2^32 packets within hours.
struct Accumulator {
    std::int64_t startMs = 0;
    std::uint64_t packets = 0;
    std::uint64_t bytes = 0;
    std::uint64_t lost = 0;
    std::uint64_t oversized = 0;  // datagrams longer than the receive buffer (counted in packets)
};

struct StatisticsSnapshot {
    std::int64_t atMs = 0;
    Accumulator cumulative;  // A0
    Accumulator current;     // A1
};

class Statistics {
public:
    void start(std::int64_t atMs);
    void add(std::uint64_t packets, std::uint64_t bytes, std::uint64_t lost = 0, std::uint64_t oversized = 0);
    // Reads A0 and A1 at `atMs`, then rotates A2 into A1 and restarts A2.
    StatisticsSnapshot update(std::int64_t atMs);
    Accumulator cumulative() const;

private:
    mutable std::mutex mutex_;
    Accumulator a_[3];
};

// The figures of one accumulator as the windows show them.
struct Figures {
    std::string elapsedTime;
    std::string byteCount;
    std::string kbitPerSecond;
    std::string packetPerSecond;
    std::string totalPacketCount;
    std::string goodPacketCount;  // receive
    std::string badPacketCount;   // receive
    std::string per;              // receive
};

struct FigureValues {
    long elapsedSeconds = 0;
    double kbitPerSecond = 0;
    double packetPerSecond = 0;
    std::uint64_t totalPackets = 0;  // transmit: packets; receive: good + lost
    double per = 0;
};

// One row of the results table: its caption, a short name, and the figure it shows.
struct FigureRow {
    const char* caption;
    const char* name;
    std::string Figures::*figure;
};

// The rows a window shows, in order. Transmit shows packet counts, receive also good, bad and
// PER; in Stream mode the transmit side shows no packet count and the receive side no packet
// figures at all.
std::vector<FigureRow> figureRows(bool receive, bool stream);

FigureValues figureValues(const Accumulator& a, std::int64_t atMs, bool receive);
Figures formatFigures(const Accumulator& a, std::int64_t atMs, bool receive);

}  // namespace airmeter
