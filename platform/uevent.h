#pragma once
// Kernel device events (the netlink uevent multicast group).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

#include "platform/sim_file.h"

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
    // Ends the receive that waits now at once, and makes every later one
    // return 0 at once until the next open(): its thread is being stopped.
    virtual void interrupt() = 0;
    virtual void close() = 0;
};

// The back-end chosen by platform::init.
Uevents& uevents();

// The simulated event source: tests inject the datagrams the kernel would
// send ("add@/devices/...", optionally followed by NUL-separated fields). A
// person plugs and pulls the simulated USB stick with "<root>/sim/usb"
// ("in" or "out"): each change sends the events the kernel sends for it.
class SimUevents : public Uevents {
public:
    SimUevents();
    void inject(const std::string& datagram);
    // Makes the next open() fail as a refused bind does.
    void setBindFails(bool fails);
    // Makes every receive fail with `error` (0: receive again), as a wait
    // on a broken socket does.
    void setReceiveFails(int error);
    // Drops pending events and the bind failure.
    void reset();

    bool open() override;
    int receive(char* buf, size_t size, int timeoutMs) override;
    void interrupt() override;
    void close() override;

private:
    void lookAtStickFile();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::string> m_pending;
    bool m_bindFails = false;
    int m_receiveError = 0;
    bool m_interrupted = false;
    SimFileWatch m_stickFile;
    // No stick at start: a file that says "in" plugs it (the events wait
    // for the watcher like the kernel's).
    bool m_stickIn = false;
};

SimUevents& simUevents();

} // namespace platform
