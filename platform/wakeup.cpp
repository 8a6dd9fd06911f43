#include "platform/wakeup.h"

#include <sys/prctl.h>

namespace platform {

namespace {
constexpr std::chrono::milliseconds kSlackFrom{50};
constexpr int kSlackShare = 10;
} // namespace

IdleSlack::IdleSlack(std::chrono::microseconds pause)
{
    if (pause < kSlackFrom)
        return;
    const auto slack = std::chrono::duration_cast<std::chrono::nanoseconds>(pause) / kSlackShare;
    m_set = ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack.count()), 0, 0, 0) == 0;
}

IdleSlack::~IdleSlack()
{
    if (m_set)
        ::prctl(PR_SET_TIMERSLACK, 0UL, 0, 0, 0); // back to the thread's own
}

void Wakeup::wake()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rung = true;
    m_cv.notify_one();
}

bool Wakeup::wait(std::chrono::microseconds pause)
{
    IdleSlack slack(pause);
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
