#include "statistics.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace airmeter {
namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

}  // namespace

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Statistics::start(std::int64_t atMs) {
    std::lock_guard lock(mutex_);
    for (auto& a : a_) a = Accumulator{atMs};
}

void Statistics::add(std::uint64_t packets, std::uint64_t bytes, std::uint64_t lost, std::uint64_t oversized) {
    std::lock_guard lock(mutex_);
    for (auto& a : a_) {
        a.packets += packets;
        a.bytes += bytes;
        a.lost += lost;
        a.oversized += oversized;
    }
}

StatisticsSnapshot Statistics::update(std::int64_t atMs) {
    std::lock_guard lock(mutex_);
    StatisticsSnapshot snapshot{atMs, a_[0], a_[1]};
    a_[1] = a_[2];
    a_[2] = Accumulator{atMs};
    return snapshot;
}

Accumulator Statistics::cumulative() const {
    std::lock_guard lock(mutex_);
    return a_[0];
}

std::vector<FigureRow> figureRows(bool receive, bool stream) {
    std::vector<FigureRow> rows = {
        {"Elapsed Time", "Elapsed", &Figures::elapsedTime},
        {"Byte Count", "Bytes", &Figures::byteCount},
        {"KBit/Second", "KBits", &Figures::kbitPerSecond},
    };
    if (receive && stream) return rows;
    rows.push_back({"Packet/Second", "PacketRate", &Figures::packetPerSecond});
    if (!receive) {
        if (!stream) rows.push_back({"Total Packet Count", "Total", &Figures::totalPacketCount});
        return rows;
    }
    rows.push_back({"Good Packet Count", "Good", &Figures::goodPacketCount});
    rows.push_back({"Bad Packet Count", "Bad", &Figures::badPacketCount});
    rows.push_back({"Total Packet Count", "Total", &Figures::totalPacketCount});
    rows.push_back({"PER %", "Per", &Figures::per});
    return rows;
}

FigureValues figureValues(const Accumulator& a, std::int64_t atMs, bool receive) {
    FigureValues v;
    const std::int64_t d = atMs - a.startMs;
    // Ties to even, as the default floating-point rounding mode does.
    v.elapsedSeconds = std::lrint(static_cast<double>(d) / 1000.0);
    if (d > 0) {
        v.kbitPerSecond = static_cast<double>(a.bytes) * 8.0 / static_cast<double>(d);
        v.packetPerSecond = static_cast<double>(a.packets) / static_cast<double>(d) * 1000.0;
    }
    v.totalPackets = receive ? a.packets + a.lost : a.packets;
    if (receive && v.totalPackets > 0) {
        v.per = static_cast<double>(a.lost) * 100.0 / static_cast<double>(v.totalPackets);
    }
    return v;
}

Figures formatFigures(const Accumulator& a, std::int64_t atMs, bool receive) {
    const FigureValues v = figureValues(a, atMs, receive);
    Figures f;
    f.elapsedTime = format("%ld  ", v.elapsedSeconds);
    f.byteCount = format("%.0f  ", static_cast<double>(a.bytes));
    f.kbitPerSecond = format("%.3f  ", v.kbitPerSecond);
    f.packetPerSecond = format("%.2f  ", v.packetPerSecond);
    f.totalPacketCount = format("%llu  ", static_cast<unsigned long long>(v.totalPackets));
    if (receive) {
        f.goodPacketCount = format("%llu  ", static_cast<unsigned long long>(a.packets));
        f.badPacketCount = format("%llu  ", static_cast<unsigned long long>(a.lost));
        f.per = format("%.2f  ", v.per);
    }
    return f;
}

}  // namespace airmeter
