#include "tests/support/panel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "core/globals.h"
#include "ui/shell/mainwindow.h"

namespace paneltest {

void key(QWidget* target, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

void touch(QWidget* target, QPoint at)
{
    if (at.x() < 0)
        at = target->rect().center();
    QMouseEvent press(
        QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(
        QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

void ticks(int n)
{
    for (int i = 0; i < n && g_mainwindow; ++i)
        g_mainwindow->slot_update_timer_ticks();
}

void flushDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

namespace {
void failAndExit(const char* message)
{
    std::fprintf(stderr, "%s\n", message);
    std::exit(1);
}
FailureReporter g_reporter = failAndExit;
} // namespace

void setFailureReporter(FailureReporter reporter) { g_reporter = reporter ? reporter : failAndExit; }

void reportFailure(const char* message) { g_reporter(message); }

} // namespace paneltest
