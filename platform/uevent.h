#pragma once
// Kernel device events (the netlink uevent multicast group).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

namespace platform {

class Uevents {
public:
    virtual ~Uevents() = default;
    // Opens and binds the event socket; false on failure (errno tells why).
    virtual bool open() = 0;
    // Waits at most `timeoutMs` for one event datagram and copies up to
    // `size` bytes of it into `buf`. Returns its length, 0 when none came,
    // -1 when waiting failed.
    virtual int receive(char* buf, size_t size, int timeoutMs) = 0;
    virtual void close() = 0;
};

// The back-end chosen by platform::init.
Uevents& uevents();

// The simulated event source: tests inject the datagrams the kernel would
// send ("add@/devices/...", optionally followed by NUL-separated fields).
class SimUevents : public Uevents {
public:
    void inject(const std::string& datagram);
    // Makes the next open() fail as a refused bind does.
    void setBindFails(bool fails);
    // Drops pending events and the bind failure.
    void reset();

    bool open() override;
    int receive(char* buf, size_t size, int timeoutMs) override;
    void close() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::string> m_pending;
    bool m_bindFails = false;
};

SimUevents& simUevents();

} // namespace platform
