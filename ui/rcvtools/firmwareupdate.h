#pragma once
// The dialog shown while a firmware upgrade runs (g_move_update): a picture
// bobbing up and down over "Updating " and its dots, animated by the 10 ms
// tick. It has no page code: the screen underneath keeps its refreshes.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

class QLabel;

class FirmwareUpdate : public PanelDialog {
    Q_OBJECT
public:
    explicit FirmwareUpdate(QWidget* parent = nullptr);
    ~FirmwareUpdate() override;

    // One animation step, every tick while g_update_flag is set: the
    // picture on even ticks, the dots every 100.
    void update_time_deal();
    void handleTimerID1();
    void handleTimerID2();
    // The line without dots in the current language.
    void language_changed();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void placeText(const QString& text, int pixelsPerChar);

    QLabel* m_picture;
    QLabel* m_text;
    int m_x = 128;
    int m_y = 60;
    int m_dots = 0;
    uint8_t m_down = 1;
    int m_timerId1 = 0;
    int m_timerId2 = 0;
};

// Show and close the dialog. Any thread: a call from another thread (the
// FPGA worker, a PC link) is carried out in the GUI thread.
void firmware_update_start();
void firmware_update_over();
