#pragma once
// The main screen (page code 1), bottom of the screen stack, and the owner
// of the 10 ms tick that advances the time base.

#include <QMainWindow>
#include <cstdint>

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Set after a user mode was saved or recalled; the dispatcher shows the
    // confirmation and clears it.
    uint8_t pending_notice = 0;

    // Re-texts and re-icons the screen in the current language.
    void language_changed();

    // Around a firmware upgrade (USB or PC upload): show and close the
    // dialog that asks the user not to power off. GUI thread; other threads
    // queue the call.
    void update_start();
    void update_over();
    // The same from any thread (the FPGA worker, the PC links): queued to
    // the main window in the GUI thread; nothing without a main window.
    static void post_update_start();
    static void post_update_over();

public slots:
    void slot_update_timer_ticks();

private:
    Ui::MainWindow* ui;
    bool m_rebootSent = false;
};
