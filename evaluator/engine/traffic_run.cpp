#include "traffic_run.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <exception>

namespace airmeter {

const char* stateName(RunState state) {
    switch (state) {
        case RunState::Idle: return "Idle";
        case RunState::Listening: return "Listening";
        case RunState::Receiving: return "Receiving";
        case RunState::Connecting: return "Connecting";
        case RunState::Sending: return "Sending";
    }
    return "";
}

TrafficRun::TrafficRun(EventSink sink)
    : sink_(std::move(sink)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TrafficRun::~TrafficRun() {
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
    }
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool TrafficRun::beginRun() {
    if (state() != RunState::Idle || worker_.joinable()) return false;
    ++generation_;
    return true;
}

void TrafficRun::stop() {
    if (worker_.joinable()) {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
        worker_.join();
        std::uint64_t drained = 0;
        [[maybe_unused]] auto m = read(wakeFd_, &drained, sizeof drained);
        stop_ = false;
    }
    closeSockets();
    setState(RunState::Idle);
}

void TrafficRun::publish(RunEvent event) {
    event.generation = generation_.load();
    if (sink_) sink_(event);
}

void TrafficRun::setState(RunState state) {
    if (state_.exchange(state) == state) return;
    publish({RunEvent::Kind::StateChanged, state, {}});
}

void TrafficRun::reportError(const std::string& text) {
    publish({RunEvent::Kind::Error, state(), text});
}

void TrafficRun::reportError(const char* call, int wsaCode) {
    reportError(std::string(call) + " error = " + std::to_string(wsaCode));
}

void TrafficRun::notify(const std::string& text) { publish({RunEvent::Kind::Notice, state(), text}); }

void TrafficRun::startStatistics(const std::string& remote) {
    statistics_.start(nowMs());
    publish({RunEvent::Kind::Started, state(), remote});
}

void TrafficRun::end(const std::string& message) {
    publish({RunEvent::Kind::Ended, state(), message});
}

void TrafficRun::finish() {
    RunEvent event{RunEvent::Kind::Ended, state(), {}};
    event.finished = true;
    publish(std::move(event));
}

void TrafficRun::launch(std::function<void()> body) {
    worker_ = std::thread([this, body = std::move(body)] {
        try {
            body();
        } catch (const std::exception& e) {
            end(e.what());
        }
    });
}

TrafficRun::Wait TrafficRun::waitFor(int fd, short events, int timeoutMs) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd, events, 0}};
    if (stopping()) return Wait::Stopping;
    const int n = poll(fds, 2, timeoutMs);
    if (stopping() || (fds[0].revents & POLLIN)) return Wait::Stopping;
    return n > 0 ? Wait::Ready : Wait::Timeout;
}

}  // namespace airmeter
