#pragma once
// The dialog shown while a firmware upgrade runs (g_move_update), animated
// by the 10 ms tick.

#include <QDialog>

class FirmwareUpdate : public QDialog {
    Q_OBJECT
public:
    explicit FirmwareUpdate(QWidget* parent = nullptr);

    // One animation step, every tick while g_update_flag is set.
    void update_time_deal();
};
