// Device back-end of the kernel device events: a NETLINK_KOBJECT_UEVENT
// socket bound to the kernel's uevent multicast group.
#include "platform/uevent.h"
#include "platform/wakeup.h"

#include <linux/netlink.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

namespace platform {

namespace {
class LinuxUevents : public Uevents {
public:
    bool open() override
    {
        close();
        if (m_wake < 0)
            m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        uint64_t drained;
        while (m_wake >= 0 && ::read(m_wake, &drained, sizeof drained) > 0) {
            // An interrupt of an earlier thread is over.
        }
        m_interrupted = false;
        m_fd = ::socket(AF_NETLINK, SOCK_RAW, NETLINK_KOBJECT_UEVENT);
        if (m_fd < 0)
            return false;
        int size = 1024;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_nl addr{};
        addr.nl_family = AF_NETLINK;
        addr.nl_pid = 100; // a fixed port id, not the process id
        addr.nl_groups = 1; // the kernel's uevent group
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            int err = errno;
            close();
            errno = err;
            return false;
        }
        return true;
    }

    int receive(char* buf, size_t size, int timeoutMs) override
    {
        if (m_fd < 0) {
            errno = EBADF;
            return -1;
        }
        if (m_interrupted)
            return 0;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(m_fd, &set);
        if (m_wake >= 0)
            FD_SET(m_wake, &set);
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        IdleSlack slack{std::chrono::milliseconds(timeoutMs)};
        int ready = ::select(std::max(m_fd, m_wake) + 1, &set, nullptr, nullptr, &tv);
        if (ready < 0)
            return errno == EINTR ? 0 : -1;
        if (ready == 0 || m_interrupted || !FD_ISSET(m_fd, &set))
            return 0;
        ssize_t n = ::recv(m_fd, buf, size, 0);
        return n < 1 ? 0 : static_cast<int>(n);
    }

    void interrupt() override
    {
        m_interrupted = true;
        const uint64_t one = 1;
        if (m_wake >= 0 && ::write(m_wake, &one, sizeof one) < 0) {
            // Already signalled.
        }
    }

    void close() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    int m_wake = -1; // rung by interrupt()
    std::atomic<bool> m_interrupted{false};
};
} // namespace

Uevents& linuxUevents()
{
    static LinuxUevents instance;
    return instance;
}

} // namespace platform
