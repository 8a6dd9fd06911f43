#pragma once
// Helpers for tests and tools that drive the panel's screens: keys and
// touches as the keypad and the panel send them, ticks called directly (no
// test ever starts g_timer), and the deferred deletes flushed.

#include <QPoint>
#include <QString>
#include <ostream>

class QWidget;

namespace paneltest {

// A key as the keypad sends it: pressed, then released (screens act on the
// release).
void key(QWidget* target, int code);
// A touch: press and release of the left button at `at` in `target`
// (its centre by default).
void touch(QWidget* target, QPoint at = QPoint(-1, -1));
// `n` ticks of the main window (g_mainwindow), called directly.
void ticks(int n);
// Deletes what was closed with delete-on-close or deleteLater.
void flushDeferredDeletes();

// How a helper reports a failure: a failed test under the test framework
// (the test main sets it), a message on standard error and exit code 1
// elsewhere.
using FailureReporter = void (*)(const char* message);
void setFailureReporter(FailureReporter reporter);
void reportFailure(const char* message);

} // namespace paneltest

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
