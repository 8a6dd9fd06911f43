#pragma once
// A POSIX thread with a stop request. Production code never asks a thread to
// stop; tests and a clean exit on a host do, then join it.

#include <atomic>
#include <pthread.h>

namespace platform {

// Names the calling thread (at most 15 characters are kept), so that
// "top -H", ps and a debugger show which thread is which.
void nameThisThread(const char* name);

class Worker {
public:
    using Body = void* (*)(void*);

    // pthread_create's result (0 on success). The thread is named `name`
    // (at most 15 characters are kept) by the time this returns.
    int start(Body body, void* arg, const char* name);
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    // The stop request alone, for a thread that must be woken after it to
    // see it.
    void requestStop() { m_stop.store(true); }
    void stopAndJoin()
    {
        m_stop.store(true);
        if (m_running) {
            pthread_join(m_thread, nullptr);
            m_running = false;
        }
    }
    bool running() const { return m_running; }
    pthread_t handle() const { return m_thread; }

private:
    pthread_t m_thread{};
    bool m_running = false;
    std::atomic<bool> m_stop{false};
};

} // namespace platform
