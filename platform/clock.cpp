#include "platform/clock.h"

#include <mutex>

namespace platform {

namespace {
std::mutex g_clockMutex;
QDateTime g_fixed; // guarded by g_clockMutex; invalid: the system clock
} // namespace

QDateTime currentDateTime()
{
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        if (g_fixed.isValid())
            return g_fixed;
    }
    return QDateTime::currentDateTime();
}

void setClockForTest(const QDateTime& t)
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_fixed = t;
}

} // namespace platform
