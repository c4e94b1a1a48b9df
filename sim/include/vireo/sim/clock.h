// The bench's clock. Everything that moves with time on the simulated bench (tallies, status
// registers, link quality) reads this clock, so tests can freeze it and advance it explicitly
// instead of sleeping.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace vireo::sim {

class SimClock {
public:
    using Duration = std::chrono::microseconds;

    static SimClock& instance();

    // Time since the clock was made: real elapsed time (unless frozen) plus every advance.
    Duration now() const;
    // Stops the real-time part; the clock then moves only through advance().
    void freeze();
    // Lets real time run again from the current reading.
    void thaw();
    void advance(Duration d);
    bool frozen() const;

private:
    SimClock();
    ~SimClock();
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vireo::sim
