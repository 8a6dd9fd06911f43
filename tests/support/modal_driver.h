#pragma once
// Driving screens that block: an opener runs its child with exec(), the
// pop-up and the number keyboard too, so a test that calls one never gets
// control back until something closes it from inside the nested loop.
//
//     ModalDriver drive;
//     drive.then([&] { EXPECT_EQ(g_page_focus.load(), 5); release(g_option, panel::kKeyOk); }) // opens a child
//          .then([&] { EXPECT_NE(g_outputset, nullptr); release(g_outputset, panel::kKeyBack); })
//          .then([&] { release(g_option, panel::kKeyBack); });
//     drive.run([&] { window->on_option_clicked(); });
//
// Each step runs in whatever event loop is innermost when its turn comes,
// after the one before it: a step that opens a modal screen leaves the next
// step to run inside that screen's loop. A watchdog closes every dialog
// and fails the test when the steps do not end within the time given, so
// a test that goes wrong unwinds instead of hanging.

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

class ModalDriver {
public:
    explicit ModalDriver(int watchdogMs = 10000);
    ~ModalDriver();

    ModalDriver& then(std::function<void()> step);
    // Runs `trigger` (which may block in exec()) with the queued steps
    // running inside; returns once the trigger returned and every step ran,
    // or the watchdog fired.
    void run(const std::function<void()>& trigger);
    // Runs the queued steps from the test's own level (no trigger).
    void run() { run(nullptr); }

    bool timedOut() const { return m_timedOut; }

private:
    void runNext();
    void fire();

    std::deque<std::function<void()>> m_steps;
    QObject m_context;
    QTimer m_watchdog;
    bool m_timedOut = false;
    bool m_running = false;
};

// Closes every visible dialog and top-level window, innermost modal first;
// all but the main window (g_mainwindow) go at the next deferred delete.
void closeAllScreens();
