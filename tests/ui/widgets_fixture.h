#pragma once
// Shared pieces of the shared-widget tests: key and touch events sent
// straight to a widget, and a driver for modal runs that closes whatever
// a failing test left open instead of hanging the run.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

#include "core/globals.h"
#include "tests/support/sandbox.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/tip.h"

namespace widgets_test {

inline void keyRelease(QWidget* w, int key)
{
    QKeyEvent ev(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

inline void keyPress(QWidget* w, int key)
{
    QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

// A finger's press and release in the middle of `w`.
inline void touch(QWidget* w)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at.toPoint()), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at.toPoint()), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

// Closes every modal still up (innermost first) when it fires: the test
// fails instead of waiting for ever.
class ModalWatchdog {
public:
    explicit ModalWatchdog(int ms = 5000)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            ADD_FAILURE() << "a modal run was left open";
            while (QWidget* modal = QApplication::activeModalWidget())
                modal->hide();
        });
        m_timer.start(ms);
    }

private:
    QTimer m_timer;
};

// Runs `open`, which starts a modal run, and `inside` within that run.
// Returns whether `inside` ran.
inline bool duringModal(const std::function<void()>& open, const std::function<void()>& inside)
{
    ModalWatchdog watchdog;
    bool ran = false;
    // Owned here: when `open` runs no loop, it never fires later.
    QTimer start;
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, [&] {
        ran = true;
        inside();
    });
    start.start(0);
    open();
    return ran;
}

// A main window in English with every language offered: the tick, the
// notice and the keyboard it builds, all gone with it after the test.
class WithMainWindow : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        window = new MainWindow(nullptr);
        g_mainwindow = window;
        // After the window: it takes the language of the parameter image.
        g_language = panel::kEnglish;
        g_lcd_lang_valid = 0x1F;
    }
    void TearDown() override
    {
        delete g_move_update;
        delete window;
        g_mainwindow = nullptr;
        Sandbox::TearDown();
    }
    void tick(int n)
    {
        for (int i = 0; i < n; ++i)
            window->slot_update_timer_ticks();
    }

    MainWindow* window = nullptr;
};

} // namespace widgets_test
