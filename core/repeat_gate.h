#pragma once
// Keeps a message that a polling loop would print on every pass to one line
// per cause: admit() lets a cause through the first time, and again only
// once another cause came in between, the caller cleared it (the fault went
// away), or it has not come for a second. A loop that meets the same fault
// 100 times a second prints it once.
//
// It only decides whether a line is due; whoever prints keeps its own rule
// (a diagnostic still asks g_debugSwitch first, so a line the switch held
// back does not use up its cause). Safe from any thread.

#include <QString>
#include <cstdint>
#include <mutex>

#include "core/globals.h"

class RepeatGate {
public:
    static constexpr uint32_t kQuietTicks = 100; // 1 s of 10 ms ticks

    // True when `cause` is to be printed now.
    bool admit(const QString& cause)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const uint32_t now = G_timeTicks.load();
        const bool repeat = m_held && cause == m_cause && now - m_seen < kQuietTicks;
        m_held = true;
        m_cause = cause;
        m_seen = now; // every pass counts: a cause that keeps coming stays quiet
        return !repeat;
    }

    // The fault went away: the next one is printed, whatever its cause.
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = false;
    }

private:
    std::mutex m_mutex;
    bool m_held = false;
    QString m_cause;
    uint32_t m_seen = 0;
};
