// ThreadSanitizer builds only: tells TSan how Qt (libQt5Core, not built with
// TSan) orders threads: its QMutex, and its event queue. The definitions
// below take the place of Qt's for the calls of this program (the
// executable's symbols come first), call Qt's own and announce to TSan what
// they do.
//
// QMutex::lock() and unlock(): a thread that takes the mutex after another
// released it gets no happens-before edge, and every access the mutex guards
// is reported as a race. Announced as a mutex, which also lets TSan check the
// lock order.
//
// The event queue: a signal or QMetaObject::invokeMethod aimed at an object
// of another thread is posted to that thread's queue under a lock inside
// Qt: the slot then seems to race with whatever the sender wrote before, the
// functor it built included. Every emission and invokeMethod of this
// program's code releases one sync object before Qt posts it, and every
// event delivery acquires it before the receiver runs. The event and the
// argument copies Qt allocates and frees itself are left out by
// called_from_lib in tsan.supp. Direct calls release too, which only adds an
// order from a signal's sender to the receiving thread's next event.
//
// A queued functor call is reference-counted inside Qt: whichever thread
// drops the last reference deletes it, the sender included when the receiver
// has already run it. TSan cannot see that count, so the sender's share of a
// queued invokeMethod (posting it, dropping its reference) runs with TSan's
// access checks off; no code of ours runs there but that delete.
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

// The run-time has them; clang 14's header does not declare them.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();

namespace {

template <typename Fn>
Fn qtOwn(const char* symbol)
{
    void* fn = ::dlsym(RTLD_NEXT, symbol);
    if (!fn) {
        std::fprintf(stderr, "tsan_qt: %s not found in Qt\n", symbol);
        std::abort();
    }
    return reinterpret_cast<Fn>(fn);
}

unsigned flagsOf(const QMutex* m) { return m->isRecursive() ? unsigned(__tsan_mutex_write_reentrant) : 0u; }

char s_eventQueue;

bool acquireBeforeDelivery(void**)
{
    __tsan_acquire(&s_eventQueue);
    return false; // delivered as usual
}

const bool s_registered = QInternal::registerCallback(QInternal::EventNotifyCallback, acquireBeforeDelivery);

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

void QMetaObject::activate(QObject* sender, const QMetaObject* meta, int localSignalIndex, void** argv)
{
    static auto own = qtOwn<void (*)(QObject*, const QMetaObject*, int, void**)>(
        "_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    __tsan_release(&s_eventQueue);
    own(sender, meta, localSignalIndex, argv);
}

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot, Qt::ConnectionType type,
                                   void* ret)
{
    static auto own = qtOwn<bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*)>(
        "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    __tsan_release(&s_eventQueue);
    const bool queued =
        type == Qt::QueuedConnection || (type == Qt::AutoConnection && object && object->thread() != QThread::currentThread());
    if (!queued)
        return own(object, slot, type, ret);
    __tsan_ignore_thread_begin();
    const bool posted = own(object, slot, type, ret);
    __tsan_ignore_thread_end();
    return posted;
}
