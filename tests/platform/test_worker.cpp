#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

#include "platform/wakeup.h"
#include "platform/worker.h"

namespace {
void* untilStopped(void* p)
{
    auto* w = static_cast<platform::Worker*>(p);
    while (!w->stopRequested())
        ::usleep(1000);
    return nullptr;
}
} // namespace

// A thread is named once start returns; longer names keep what the kernel
// allows (15 characters).
TEST(Worker, NamesItsThread)
{
    for (auto [given, kept] : {std::make_pair("pc-tcp-5005", "pc-tcp-5005"),
                               std::make_pair("a-very-long-thread-name", "a-very-long-thr")}) {
        platform::Worker w;
        ASSERT_EQ(w.start(untilStopped, &w, given), 0);
        char name[32] = {};
        EXPECT_EQ(pthread_getname_np(w.handle(), name, sizeof name), 0);
        EXPECT_STREQ(name, kept);
        w.stopAndJoin();
        EXPECT_FALSE(w.running());
    }
}

// A ring is never slept through: one that comes while the thread is busy
// ends its next wait at once, and a stop ends every wait. (The pauses below
// are bounds: a lost ring would fail the test after them, never pass it.)
TEST(Wakeup, ARingIsKeptUntilTheNextWaitAndAStopEndsEveryWait)
{
    using std::chrono::hours;
    using std::chrono::microseconds;
    platform::Wakeup bell;
    EXPECT_FALSE(bell.wait(microseconds(1))); // nobody rang
    bell.wake();
    bell.wake(); // two rings before the wait are one
    EXPECT_TRUE(bell.wait(hours(1)));
    EXPECT_FALSE(bell.wait(microseconds(1)));

    // A thread asleep is woken by a ring from another.
    std::atomic<bool> woken{false};
    std::thread sleeper([&] { woken = bell.wait(hours(1)); });
    bell.wake();
    sleeper.join();
    EXPECT_TRUE(woken);

    bell.stop();
    EXPECT_TRUE(bell.wait(hours(1)));
    EXPECT_TRUE(bell.wait(hours(1)));
    bell.reset();
    EXPECT_FALSE(bell.wait(microseconds(1)));
}
