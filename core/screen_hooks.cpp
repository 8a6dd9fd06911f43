#include "core/screen_hooks.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <array>
#include <mutex>

#include "core/globals.h"

namespace {

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}

// One table per kind of hook, indexed by the enum.
template <class Which, class Fn>
std::array<Fn, size_t(Which::Count)>& hookTable()
{
    static std::array<Fn, size_t(Which::Count)> table;
    return table;
}

template <class Which, class Fn>
Fn setHook(Which which, Fn hook)
{
    std::lock_guard<std::mutex> lock(hookMutex());
    Fn previous = std::move(hookTable<Which, Fn>()[size_t(which)]);
    hookTable<Which, Fn>()[size_t(which)] = std::move(hook);
    return previous;
}

// A copy: the screen may replace its hook while it runs.
template <class Which, class Fn>
Fn getHook(Which which)
{
    std::lock_guard<std::mutex> lock(hookMutex());
    return hookTable<Which, Fn>()[size_t(which)];
}

// Queues `call` to the GUI thread; nothing without an application object.
void queue(std::function<void()> call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app)
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

} // namespace

namespace screen_hooks {

Hook set(ScreenHook which, Hook hook) { return setHook(which, std::move(hook)); }

void run(ScreenHook which)
{
    if (Hook hook = getHook<ScreenHook, Hook>(which))
        hook();
}

void post(ScreenHook which, int page)
{
    queue([which, page] {
        // The screen may have closed since the call was posted.
        if (page >= 0 && g_page_focus.load() != page)
            return;
        run(which);
    });
}

ValueHook set(ScreenValueHook which, ValueHook hook) { return setHook(which, std::move(hook)); }

void post(ScreenValueHook which, int value)
{
    queue([which, value] {
        if (ValueHook hook = getHook<ScreenValueHook, ValueHook>(which))
            hook(value);
    });
}

ListHook set(ScreenListHook which, ListHook hook) { return setHook(which, std::move(hook)); }

void post(ScreenListHook which, const QStringList& lines)
{
    queue([which, lines] {
        if (ListHook hook = getHook<ScreenListHook, ListHook>(which))
            hook(lines);
    });
}

} // namespace screen_hooks
