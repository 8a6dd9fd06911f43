#include "tests/support/modal_driver.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cstdio>

#include "core/globals.h"
#include "tests/support/panel.h"
#include "ui/shell/mainwindow.h"

ModalDriver::ModalDriver(int watchdogMs)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(watchdogMs);
    QObject::connect(&m_watchdog, &QTimer::timeout, &m_context, [this] { fire(); });
}

ModalDriver::~ModalDriver() { m_watchdog.stop(); }

ModalDriver& ModalDriver::then(std::function<void()> step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

void ModalDriver::runNext()
{
    if (m_steps.empty() || m_timedOut)
        return;
    std::function<void()> step = std::move(m_steps.front());
    m_steps.pop_front();
    // Queued before the step runs: a step that blocks in a new loop finds
    // the next one running inside it.
    if (!m_steps.empty())
        QTimer::singleShot(0, &m_context, [this] { runNext(); });
    else
        m_running = false;
    step();
}

void ModalDriver::fire()
{
    m_timedOut = true;
    m_steps.clear();
    m_running = false;
    paneltest::reportFailure("the screens did not close in time; the watchdog closed them");
    closeAllScreens();
}

void ModalDriver::run(const std::function<void()>& trigger)
{
    m_timedOut = false;
    m_running = !m_steps.empty();
    m_watchdog.start();
    if (m_running)
        QTimer::singleShot(0, &m_context, [this] { runNext(); });
    if (trigger)
        trigger();
    // What the trigger left for the test's own level (it did not block, or
    // its loop ended before the last steps).
    while (m_running && !m_timedOut) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    m_watchdog.stop();
}

void closeAllScreens()
{
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
    // Deleted as the screens' own back actions would, except the main
    // window, which its owner deletes.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != static_cast<QWidget*>(g_mainwindow)) {
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->close();
        }
}
