// airmeter-cli: the traffic engine without windows, for automation and benchmarks.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <variant>

#include "options.h"
#include "packet.h"
#include "receive_run.h"
#include "transmit_run.h"

using namespace airmeter;

namespace {

std::atomic<bool> interrupted{false};

// What the worker reports, kept for the main loop.
struct EventLog {
    std::mutex mutex;
    std::vector<std::string> errors;
    std::string endMessage;
    std::atomic<bool> started{false};  // statistics run (a stream receiver starts them on accept)
    std::atomic<bool> ended{false};

    void take(const RunEvent& event) {
        if (event.kind == RunEvent::Kind::Error) {
            std::lock_guard lock(mutex);
            std::fprintf(stderr, "%s\n", event.text.c_str());
            errors.push_back(event.text);
        } else if (event.kind == RunEvent::Kind::Started) {
            started = true;
        } else if (event.kind == RunEvent::Kind::Ended) {
            std::lock_guard lock(mutex);
            endMessage = event.text;
            ended = true;
        }
    }
};

void printFigures(RunState state, const StatisticsSnapshot& s, bool receive, bool stream) {
    const Figures current = formatFigures(s.current, s.atMs, receive);
    const Figures cumulative = formatFigures(s.cumulative, s.atMs, receive);
    std::printf("State %-16s %18s %18s\n", stateName(state), "Current", "Cumulative");
    for (const FigureRow& row : figureRows(receive, stream)) {
        std::printf("  %-20s %18s %18s\n", row.caption, (current.*row.figure).c_str(), (cumulative.*row.figure).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(cli::kUsage, stdout);
        return 0;
    }
    const auto parsed = cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "airmeter-cli: %s\n%s", error->c_str(), cli::kUsage);
        return 2;
    }
    const cli::Options& o = std::get<cli::Options>(parsed);
    std::signal(SIGINT, [](int) { interrupted = true; });
    std::signal(SIGTERM, [](int) { interrupted = true; });

    EventLog log;
    auto sink = [&log](const RunEvent& event) { log.take(event); };
    TransmitRun transmitter(sink);
    ReceiveRun receiver(sink);
    TrafficRun& run = o.transmit ? static_cast<TrafficRun&>(transmitter) : receiver;
    const bool started = o.transmit ? transmitter.start(o.settings, o.tx) : receiver.start(o.settings);
    if (!started) return 1;

    const bool stream = o.settings.mode == TestMode::Stream;
    const auto begin = std::chrono::steady_clock::now();
    auto nextUpdate = begin + std::chrono::seconds(1);
    const auto deadline = begin + std::chrono::seconds(o.durationSeconds);
    while (!interrupted && !log.ended && (o.durationSeconds == 0 || std::chrono::steady_clock::now() < deadline)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (std::chrono::steady_clock::now() < nextUpdate) continue;
        nextUpdate += std::chrono::seconds(1);
        if (!log.started) continue;
        const RunState state = run.state();
        const StatisticsSnapshot snapshot = run.statistics().update(nowMs());
        if (!o.quiet) {
            printFigures(state, snapshot, !o.transmit, stream);
            std::fflush(stdout);
        }
    }
    run.stop();
    const bool wasRunning = log.started;

    const std::int64_t at = nowMs();
    const Accumulator total = run.statistics().cumulative();
    const FigureValues values = figureValues(total, at, !o.transmit);
    nlohmann::json summary = {
        {"role", o.transmit ? "tx" : "rx"},
        {"mode", modeName(o.settings.mode)},
        {"port", o.settings.socketPort},
        {"packet_size", o.settings.packetSize},
        {"unit", unitName(o.settings.unit)},
        {"payload", payloadLength(o.settings.packetSize, o.settings.unit)},
        {"elapsed_ms", wasRunning ? at - total.startMs : 0},
        {"packets", total.packets},
        {"bytes", total.bytes},
        {"kbit_per_second", values.kbitPerSecond},
        {"packets_per_second", values.packetPerSecond},
        {"errors", log.errors},
    };
    if (o.transmit) {
        summary["sequence"] = transmitter.sequence();
    } else {
        summary["lost"] = total.lost;
        summary["total_packets"] = values.totalPackets;
        summary["per"] = values.per;
        summary["next_expected"] = receiver.expectedSequence();
    }
    if (!log.endMessage.empty()) summary["ended"] = log.endMessage;
    std::cout << summary.dump() << std::endl;
    return log.endMessage.empty() && log.errors.empty() ? 0 : 1;
}
