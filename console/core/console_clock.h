// The console's clock: the time of day in seconds, running timeScale times faster than real time
// (kestview --time-scale N, and tests), so the console's waits pass quickly on a simulated bench.
#pragma once

#include <QElapsedTimer>

namespace kestview {

class ConsoleClock {
public:
    static constexpr double kSecondsPerDay = 86400.0;

    // Starts at this computer's time of day.
    explicit ConsoleClock(double timeScale = 1.0);

    double timeScale() const { return scale_; }
    // Any positive, finite factor; other values are ignored.
    void setTimeScale(double scale);
    // Seconds since midnight, 0 <= t < 86400; passes midnight back to 0.
    double timer() const;
    // Moves the clock to a time of day (seconds since midnight), for tests.
    void setTimeOfDay(double seconds);
    // Real milliseconds that pass while the clock moves `seconds` forward (at least 0).
    double realMilliseconds(double seconds) const;

private:
    double scale_ = 1.0;
    double base_ = 0;  // time of day when elapsed_ started
    QElapsedTimer elapsed_;
};

}  // namespace kestview
