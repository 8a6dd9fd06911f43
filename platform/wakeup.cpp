#include "platform/wakeup.h"

namespace platform {

void Wakeup::wake()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rung = true;
    m_cv.notify_one();
}

bool Wakeup::wait(std::chrono::microseconds pause)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool rung = m_cv.wait_for(lock, pause, [this] { return m_rung || m_stopped; });
    m_rung = false;
    return rung;
}

void Wakeup::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
    m_cv.notify_all();
}

void Wakeup::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rung = m_stopped = false;
}

} // namespace platform
