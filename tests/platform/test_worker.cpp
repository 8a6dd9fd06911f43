#include <gtest/gtest.h>

#include <unistd.h>

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
