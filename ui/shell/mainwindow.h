#pragma once
// The main screen (page code 1), bottom of the screen stack: four menu
// buttons, the panel lock, a tools column (LED screen off, mute, user-mode
// call and save) with its 16-slot user-mode grid. It also owns the 10 ms
// tick that advances the time base and runs the periodic jobs.

#include <QMainWindow>
#include <cstdint>

#include "core/globals.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/vyx_keyboard.h"

class QLabel;
class QPushButton;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Set after a user mode was saved or recalled from the grid; the
    // dispatcher's next page-1 refresh shows the check mark and clears it.
    uint8_t pending_notice = 0;

    // Icons of the three tools and the lock from the parameter image.
    void para_init();
    // The focus ring; the focus on `machinestate`.
    void menulist_init();
    // Re-texts and re-icons the screen in the current language, then
    // para_init and ip_changed.
    void language_changed();
    void ip_changed();
    // Page-1 refresh.
    void syncUpdate();
    // Closes the user-mode grid (every opener does this first).
    void mode_window_close();

    // The user-mode grid: rebuilt on every move, kept hidden until a tool
    // shows it.
    void mode_init();
    void on_usermodesel_clicked(char direction); // 0 backward, 1 forward
    void on_deletewidgetmode_clicked();
    void on_toolusermode_clicked();

    // One ageing sample of FPGA 0's registers 42, 40 and 43 into the log.
    void getagelog();

    // Around a firmware upgrade (USB or PC upload): show and close the
    // dialog that asks the user not to power off. GUI thread.
    void update_start();
    void update_over();
    // The same from any thread (the FPGA worker, the PC links): run later in
    // the GUI thread; nothing without a main window.
    static void post_update_start();
    static void post_update_over();

    // Tests and the screenshots read the state through these.
    uint8_t grid_cursor() const { return m_cursor; }
    QWidget* grid() const { return widget_mode; }
    QWidget* focused() const { return focus_widget; }

public slots:
    void on_option_clicked();
    void on_machinestate_clicked();
    void on_inputchoose_clicked();
    void on_custommode_clicked();
    void on_tools_clicked();
    void on_toolButton1_clicked();
    void on_toolButton2_clicked();
    void on_toolButton3_clicked();
    void on_toolButton4_clicked();
    void on_Button_lock_clicked();
    void vyx_button_mode_clicked();
    void slot_update_timer_ticks();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool toolsShown() const;
    bool gridOpen() const { return l_call_state || l_save_state; }
    // Focus on ring entry `index` (0..5 menu ring, 6..9 tools ring) with the
    // style of its kind.
    void setFocused(int index, bool focused);
    // Shows the grid at its place, titled for the open tool, with the pointer
    // beside the tool at `pointerY` (none below 0).
    void showGrid(int pointerY);
    // The call (false) or save (true) tool: the grid opened for it.
    void openGrid(bool save);
    // Normal style on whichever ring entry holds the focus.
    void unfocusCurrent();
    void setToolIcon(QPushButton* button, const char* base);
    void keyLeftRight(int delta);
    void keyOk();
    void keyBack();
    void leaveToStandby();

    Ui::MainWindow* ui;
    QWidget* widget_mode = nullptr;
    QLabel* label_mode_title = nullptr;
    QLabel* label_pointer = nullptr;
    QPushButton* mode_button[kModeGridSlots] = {};
    uint8_t l_call_state = 0;
    uint8_t l_save_state = 0;
    uint8_t l_lock_state = 0;
    uint8_t ui_select = 0;
    uint8_t m_cursor = 0;
    QWidget* focus_widget = nullptr;
    QWidget* ring[10] = {};
    vyx_keyboard keyboard;
    bool m_rebootSent = false;
    // The shared widgets this window made (the device never drops them).
    bool m_ownsShared = false;
};
