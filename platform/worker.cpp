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

namespace {
struct Launch {
    Worker::Body body;
    void* arg;
    char name[16];
};

// The thread names itself before its body runs: whatever it answers (a PC
// port, a log line) then comes from a thread that already has its name,
// however the scheduler orders the first moments of both threads.
void* launch(void* raw)
{
    const Launch how = *static_cast<Launch*>(raw);
    delete static_cast<Launch*>(raw);
    pthread_setname_np(pthread_self(), how.name);
    return how.body(how.arg);
}
} // namespace

int Worker::start(Body body, void* arg, const char* name)
{
    m_stop.store(false);
    auto* how = new Launch{body, arg, {}};
    std::strncpy(how->name, name ? name : "", sizeof how->name - 1);
    int rc = pthread_create(&m_thread, nullptr, launch, how);
    m_running = rc == 0;
    if (m_running)
        setName(m_thread, name); // named before start returns, too
    else
        delete how;
    return rc;
}

} // namespace platform
