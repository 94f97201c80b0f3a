#include "ui/periodic_timer.h"

#include <gtest/gtest.h>

#include <thread>

#include "test/qt_wait.h"

namespace {

using namespace std::chrono_literals;

TEST(PeriodicTimer, TicksUntilStoppedAndNeverAfter) {
    PeriodicTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &PeriodicTimer::tick, [&] { ++ticks; });
    timer.Start(2ms);
    EXPECT_TRUE(timer.IsActive());
    EXPECT_TRUE(QtWaitUntil([&] { return ticks >= 5; }));
    timer.Stop();
    EXPECT_FALSE(timer.IsActive());
    const int stopped = ticks;
    QtWaitUntil([] { return false; }, 50);  // room for ticks, which must not come
    EXPECT_EQ(ticks, stopped);
}

TEST(PeriodicTimer, TicksMissedWhileTheThreadWasBusyAreOneTick) {
    PeriodicTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &PeriodicTimer::tick, [&] { ++ticks; });
    timer.Start(20ms);
    std::this_thread::sleep_for(110ms);  // the window thread busy for five periods
    ASSERT_TRUE(QtWaitUntil([&] { return ticks > 0; }));
    EXPECT_EQ(ticks, 1);
}

TEST(PeriodicTimer, ExpiriesOfAStoppedScheduleAreDropped) {
    PeriodicTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &PeriodicTimer::tick, [&] { ++ticks; });
    timer.Start(1ms);
    std::this_thread::sleep_for(10ms);  // expired, not yet seen by the event loop
    timer.Stop();
    QtWaitUntil([] { return false; }, 50);
    EXPECT_EQ(ticks, 0);
}

}  // namespace
