// airmeter-cli: the traffic engine without windows, for automation and benchmarks.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
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
// Wakes the main loop: written by the signal handler and by the worker's events.
int wakeFd = -1;

void wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = write(wakeFd, &one, sizeof one);
}

void onSignal(int) {
    interrupted = true;
    wake();
}

// Sleeps until `until` or until wake() is called; nothing else wakes the process.
void sleepUntil(std::optional<std::chrono::steady_clock::time_point> until) {
    int timeoutMs = -1;
    if (until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - std::chrono::steady_clock::now());
        timeoutMs = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 24 * 3600 * 1000));
    }
    pollfd fd{wakeFd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) > 0) {
        std::uint64_t drained = 0;
        [[maybe_unused]] const auto n = read(wakeFd, &drained, sizeof drained);
    }
}

// What the worker reports, kept for the main loop.
struct EventLog {
    std::mutex mutex;
    std::vector<std::string> errors;
    std::vector<std::string> notices;
    std::string endMessage;
    bool finished = false;  // ended in good order: the stream's transmitter finished
    std::atomic<bool> started{false};  // statistics run (a stream receiver starts them on accept)
    std::atomic<bool> ended{false};

    void take(const RunEvent& event) {
        if (event.kind == RunEvent::Kind::Error) {
            std::lock_guard lock(mutex);
            std::fprintf(stderr, "%s\n", event.text.c_str());
            errors.push_back(event.text);
        } else if (event.kind == RunEvent::Kind::Notice) {
            std::lock_guard lock(mutex);
            std::fprintf(stderr, "%s\n", event.text.c_str());
            notices.push_back(event.text);
        } else if (event.kind == RunEvent::Kind::Started) {
            started = true;
            wake();
        } else if (event.kind == RunEvent::Kind::Ended) {
            std::lock_guard lock(mutex);
            // The worker ends a run without a text when the peer closed the connection.
            finished = event.finished;
            endMessage = event.text.empty() ? "the peer closed the connection" : event.text;
            ended = true;
            wake();
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
    const auto parsed = cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (std::holds_alternative<cli::HelpRequest>(parsed)) {
        std::fputs(cli::usage().c_str(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "airmeter-cli: %s\nairmeter-cli --help lists the options.\n", error->c_str());
        return 2;
    }
    const cli::Options& o = std::get<cli::Options>(parsed);
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        std::perror("airmeter-cli: eventfd");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    EventLog log;
    auto sink = [&log](const RunEvent& event) { log.take(event); };
    TransmitRun transmitter(sink);
    ReceiveRun receiver(sink);
    TrafficRun& run = o.transmit ? static_cast<TrafficRun&>(transmitter) : receiver;
    const bool started = o.transmit ? transmitter.start(o.settings, o.tx) : receiver.start(o.settings);
    if (!started) return 1;

    // The figures once a second from the start of the statistics (a stream receiver starts them
    // when its connection arrives); in between the process sleeps. A quiet run shows nothing until
    // its summary, so it sleeps until its deadline, its end or a signal.
    using Clock = std::chrono::steady_clock;
    const bool stream = o.settings.mode == TestMode::Stream;
    std::optional<Clock::time_point> deadline;
    if (o.durationSeconds > 0) deadline = Clock::now() + std::chrono::seconds(o.durationSeconds);
    std::optional<Clock::time_point> nextUpdate;
    while (!interrupted && !log.ended && (!deadline || Clock::now() < *deadline)) {
        if (!o.quiet && !nextUpdate && log.started) nextUpdate = Clock::now() + std::chrono::seconds(1);
        auto until = deadline;
        if (nextUpdate && (!until || *nextUpdate < *until)) until = nextUpdate;
        sleepUntil(until);
        if (!nextUpdate || Clock::now() < *nextUpdate) continue;
        *nextUpdate += std::chrono::seconds(1);
        const RunState state = run.state();
        printFigures(state, run.statistics().update(nowMs()), !o.transmit, stream);
        std::fflush(stdout);
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
        summary["oversized"] = total.oversized;
        summary["notices"] = log.notices;
        summary["total_packets"] = values.totalPackets;
        summary["per"] = values.per;
        summary["next_expected"] = receiver.expectedSequence();
    }
    const bool early = log.ended && !log.finished;
    if (early) {
        std::fprintf(stderr, "airmeter-cli: the run ended early: %s\n", log.endMessage.c_str());
        summary["ended"] = log.endMessage;
    }
    std::cout << summary.dump() << std::endl;
    close(wakeFd);
    return !early && log.errors.empty() ? 0 : 1;
}
