#include "platform/uevent.h"
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {

Uevents& linuxUevents();

Uevents& uevents()
{
    if (isDevice())
        return linuxUevents();
    return simUevents();
}

SimUevents& simUevents()
{
    static SimUevents instance;
    return instance;
}

void SimUevents::inject(const std::string& datagram)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.push_back(datagram);
    }
    m_cv.notify_all();
}

void SimUevents::setBindFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bindFails = fails;
}

void SimUevents::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
    m_bindFails = false;
}

bool SimUevents::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bindFails) {
        errno = EADDRINUSE;
        return false;
    }
    return true;
}

int SimUevents::receive(char* buf, size_t size, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_pending.empty(); }))
        return 0;
    std::string datagram = std::move(m_pending.front());
    m_pending.pop_front();
    size_t n = datagram.size() < size ? datagram.size() : size;
    std::memcpy(buf, datagram.data(), n);
    return static_cast<int>(n);
}

void SimUevents::close() {}

} // namespace platform
