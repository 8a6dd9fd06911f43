#include "platform/worker.h"

#include <cstring>

namespace platform {

namespace {
void setName(pthread_t thread, const char* name)
{
    char kept[16] = {};
    std::strncpy(kept, name ? name : "", sizeof kept - 1);
    pthread_setname_np(thread, kept);
}
} // namespace

void nameThisThread(const char* name) { setName(pthread_self(), name); }

int Worker::start(Body body, void* arg, const char* name)
{
    m_stop.store(false);
    int rc = pthread_create(&m_thread, nullptr, body, arg);
    m_running = rc == 0;
    // Named before start returns, so whoever started it sees the name.
    if (m_running)
        setName(m_thread, name);
    return rc;
}

} // namespace platform
