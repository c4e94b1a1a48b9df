#include "vireo/sim/clock.h"

#include <mutex>

namespace vireo::sim {

struct SimClock::State {
    mutable std::mutex mutex;
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
    bool frozen = false;
    Duration frozenAt{0};  // the reading while frozen
    Duration offset{0};    // added to real elapsed time while running

    Duration read() const {
        if (frozen) return frozenAt;
        return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - origin) + offset;
    }
};

SimClock::SimClock() : state_(std::make_unique<State>()) {}
SimClock::~SimClock() = default;

SimClock& SimClock::instance() {
    static SimClock clock;
    return clock;
}

SimClock::Duration SimClock::now() const {
    std::lock_guard lock(state_->mutex);
    return state_->read();
}

void SimClock::freeze() {
    std::lock_guard lock(state_->mutex);
    state_->frozenAt = state_->read();
    state_->frozen = true;
}

void SimClock::thaw() {
    std::lock_guard lock(state_->mutex);
    if (!state_->frozen) return;
    state_->frozen = false;
    state_->offset = state_->frozenAt - std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - state_->origin);
}

void SimClock::advance(Duration d) {
    std::lock_guard lock(state_->mutex);
    if (d.count() < 0) return;  // the clock never runs backwards
    if (state_->frozen)
        state_->frozenAt += d;
    else
        state_->offset += d;
}

bool SimClock::frozen() const {
    std::lock_guard lock(state_->mutex);
    return state_->frozen;
}

}  // namespace vireo::sim
