// ThreadSanitizer builds only: tells TSan what Qt's QMutex does.
//
// QMutex::lock() and unlock() live in libQt5Core, which is not built with
// TSan: a thread that takes the mutex after another released it gets no
// happens-before edge, and every access the mutex guards is reported as a
// race. These definitions take the place of Qt's for the calls of this
// program (the executable's symbols come first), call Qt's own and announce
// the lock and unlock to TSan as a mutex, which also lets TSan check the lock
// order.
#include <QMutex>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

namespace {

template <typename Fn>
Fn qtOwn(const char* symbol)
{
    void* fn = ::dlsym(RTLD_NEXT, symbol);
    if (!fn) {
        std::fprintf(stderr, "tsan_qmutex: %s not found in Qt\n", symbol);
        std::abort();
    }
    return reinterpret_cast<Fn>(fn);
}

unsigned flagsOf(const QMutex* m) { return m->isRecursive() ? unsigned(__tsan_mutex_write_reentrant) : 0u; }

} // namespace

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static auto own = qtOwn<void (*)(QMutex*)>("_ZN6QMutex4lockEv");
    unsigned flags = flagsOf(this);
    __tsan_mutex_pre_lock(this, flags);
    own(this);
    __tsan_mutex_post_lock(this, flags, 0);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static auto own = qtOwn<bool (*)(QMutex*, int)>("_ZN6QMutex7tryLockEi");
    unsigned flags = flagsOf(this) | __tsan_mutex_try_lock;
    __tsan_mutex_pre_lock(this, flags);
    bool locked = own(this, timeout);
    __tsan_mutex_post_lock(this, locked ? flags : flags | __tsan_mutex_try_lock_failed, 0);
    return locked;
}

void QMutex::unlock() noexcept
{
    static auto own = qtOwn<void (*)(QMutex*)>("_ZN6QMutex6unlockEv");
    __tsan_mutex_pre_unlock(this, 0);
    own(this);
    __tsan_mutex_post_unlock(this, 0);
}
