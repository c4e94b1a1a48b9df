#include "console_clock.h"

#include <QTime>
#include <cmath>

namespace kestview {

ConsoleClock::ConsoleClock(double timeScale) {
    setTimeScale(timeScale);
    setTimeOfDay(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}

void ConsoleClock::setTimeScale(double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) return;
    // Keep the reading continuous across the change.
    const double now = elapsed_.isValid() ? timer() : base_;
    scale_ = scale;
    setTimeOfDay(now);
}

double ConsoleClock::timer() const {
    const double t = base_ + double(elapsed_.nsecsElapsed()) / 1e9 * scale_;
    return std::fmod(t, kSecondsPerDay);
}

void ConsoleClock::setTimeOfDay(double seconds) {
    base_ = std::fmod(std::fmod(seconds, kSecondsPerDay) + kSecondsPerDay, kSecondsPerDay);
    elapsed_.start();
}

double ConsoleClock::realMilliseconds(double seconds) const { return seconds > 0 ? seconds * 1000.0 / scale_ : 0; }

}  // namespace kestview
