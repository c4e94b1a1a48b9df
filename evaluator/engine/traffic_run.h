// One traffic run of a transmit or receive window: its sockets, its worker thread, its state and
// its statistics. Set-up happens in start() on the caller's thread; the worker moves the data and
// blocks in poll() with a wake-up descriptor, so an idle run costs no CPU and stop() takes effect
// at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "statistics.h"

namespace airmeter {

enum class RunState : std::uint8_t { Idle = 0, Listening = 1, Receiving = 2, Connecting = 3, Sending = 4 };
const char* stateName(RunState state);

struct RunEvent {
    enum class Kind {
        Error,         // a failed socket call; the run carries on (text: the message)
        Notice,        // something the user should know that is no failure (text: the message)
        StateChanged,  // state holds the new state
        Started,       // statistics started (text: the remote-address field, may be empty)
        Ended,         // the worker ended the run; the owner calls stop(), then shows text if any
    };
    Kind kind;
    RunState state = RunState::Idle;
    std::string text;
    std::uint64_t generation = 0;  // the run the event belongs to
    // Ended: the run ended in good order (a stream receiver whose transmitter finished sending)
    // rather than early.
    bool finished = false;
};

// Receives events from start() and stop() on the owner's thread and from the worker on its own.
using EventSink = std::function<void(const RunEvent&)>;

class TrafficRun {
public:
    explicit TrafficRun(EventSink sink);
    virtual ~TrafficRun();
    TrafficRun(const TrafficRun&) = delete;
    TrafficRun& operator=(const TrafficRun&) = delete;

    RunState state() const { return state_.load(); }
    Statistics& statistics() { return statistics_; }
    // Events of an earlier run are stale once a new run has started.
    std::uint64_t generation() const { return generation_.load(); }

    // The stop step: ends the worker, closes the sockets, returns to Idle. Owner's thread only.
    void stop();

protected:
    enum class Wait { Ready, Stopping, Timeout };

    // Begins a new run generation; false when a run is active.
    bool beginRun();
    virtual void closeSockets() = 0;

    void setState(RunState state);
    void reportError(const std::string& text);
    void reportError(const char* call, int wsaCode);
    void notify(const std::string& text);
    void startStatistics(const std::string& remote);
    void end(const std::string& message);
    // Ends the run in good order: the peer finished what it had to send.
    void finish();
    void launch(std::function<void()> body);

    // Waits for `events` on fd (ignored when fd < 0), for stop() or for the timeout.
    Wait waitFor(int fd, short events, int timeoutMs);
    // Sleeps up to ms; false when the run is stopping.
    bool pause(int ms) { return waitFor(-1, 0, ms) != Wait::Stopping; }
    bool stopping() const { return stop_.load(std::memory_order_relaxed); }

private:
    void publish(RunEvent event);

    EventSink sink_;
    std::atomic<RunState> state_{RunState::Idle};
    std::atomic<std::uint64_t> generation_{0};
    Statistics statistics_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    int wakeFd_ = -1;
};

}  // namespace airmeter
