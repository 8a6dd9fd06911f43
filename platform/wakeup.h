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

class Wakeup {
public:
    // Rings: the waiting thread (or its next wait) returns at once.
    void wake();
    // Sleeps until rung or `pause` has passed; true when rung (or stopped).
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
