#pragma once
// A worker thread's doorbell. The thread sleeps in wait() until another
// thread rings it or its own pause runs out; a ring while the thread is busy
// is kept, so a request raised between the thread's look and its sleep is
// never slept through. Idle threads then pause as long as their upkeep
// allows and still answer a request at once.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// While it lives, the calling thread's timed sleeps may end up to a tenth
// of `pause` late, from pauses of 50 ms on: the kernel then wakes the
// thread together with a timer due about then (the GUI thread's 10 ms
// tick) rather than on a wake-up of its own. Shorter pauses (polls, the
// ticks of a running job) keep their precision.
class IdleSlack {
public:
    explicit IdleSlack(std::chrono::microseconds pause);
    ~IdleSlack();
    IdleSlack(const IdleSlack&) = delete;
    IdleSlack& operator=(const IdleSlack&) = delete;

private:
    bool m_set = false;
};

class Wakeup {
public:
    // Rings: the waiting thread (or its next wait) returns at once.
    void wake();
    // Sleeps until rung or `pause` has passed (a long pause with an
    // IdleSlack); true when rung (or stopped).
    bool wait(std::chrono::microseconds pause);
    // Every wait returns at once from now on: the thread is being stopped.
    void stop();
    // A fresh doorbell, for a thread started again.
    void reset();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_rung = false;
    bool m_stopped = false;
};

} // namespace platform
