#include "core/screen_hooks.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <array>
#include <mutex>

#include "core/globals.h"

namespace {

constexpr size_t kHooks = size_t(ScreenHook::Count);

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}

std::array<screen_hooks::Hook, kHooks>& hookTable()
{
    static std::array<screen_hooks::Hook, kHooks> table;
    return table;
}

} // namespace

namespace screen_hooks {

Hook set(ScreenHook which, Hook hook)
{
    std::lock_guard<std::mutex> lock(hookMutex());
    Hook previous = std::move(hookTable()[size_t(which)]);
    hookTable()[size_t(which)] = std::move(hook);
    return previous;
}

void run(ScreenHook which)
{
    Hook hook;
    {
        // A copy: the screen may replace its hook while it runs.
        std::lock_guard<std::mutex> lock(hookMutex());
        hook = hookTable()[size_t(which)];
    }
    if (hook)
        hook();
}

void post(ScreenHook which, int page)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [which, page] {
            // The screen may have closed since the call was posted.
            if (page >= 0 && g_page_focus.load() != page)
                return;
            run(which);
        },
        Qt::QueuedConnection);
}

} // namespace screen_hooks
