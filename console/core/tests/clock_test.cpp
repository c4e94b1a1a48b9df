// The console clock: waits on a sped-up clock, across midnight, with events processed.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "console_fixture.h"

namespace kestview::testing {
namespace {

TEST(ConsoleClock, RunsAtItsScaleAndWrapsAtMidnight) {
    ConsoleClock clock(1000);
    clock.setTimeOfDay(86399.5);
    EXPECT_NEAR(clock.timer(), 86399.5, 0.5);
    EXPECT_DOUBLE_EQ(clock.realMilliseconds(2), 2);
    clock.setTimeScale(-3);
    EXPECT_EQ(clock.timeScale(), 1000) << "a factor that is not positive is ignored";
    clock.setTimeOfDay(-1);
    EXPECT_GE(clock.timer(), 86398);
}

TEST(ConsoleWait, PassesMidnightAndProcessesEvents) {
    ensureApplication();
    Console console;
    console.clock().setTimeScale(100);
    console.clock().setTimeOfDay(86399.8);
    bool eventRan = false;
    QTimer::singleShot(1, [&] { eventRan = true; });
    QElapsedTimer real;
    real.start();
    console.waitSecs(1);  // 10 ms of real time, passing midnight
    EXPECT_TRUE(eventRan);
    EXPECT_GE(real.elapsed(), 9);
    EXPECT_LT(real.elapsed(), 2000) << "the wait must not wait for the clock to come round again";
    EXPECT_LT(console.clock().timer(), 86000);
}

}  // namespace
}  // namespace kestview::testing
