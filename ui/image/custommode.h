#pragma once
// The user-mode screen (page code 4): a plain widget shown with show(),
// opened from the main window or by the mode key on any other screen.

#include <QWidget>
#include <cstdint>

#include "ui/shell/vyx_keyboard.h"

namespace Ui {
class CustomMode;
}

class CustomMode : public QWidget {
    Q_OBJECT
public:
    explicit CustomMode(QWidget* parent = nullptr);
    ~CustomMode() override;

    void language_changed();
    void syncUpdate();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private slots:
    // Back to the main window (page 1).
    void slot_Button_back_clicked();

private:
    // Back at the top level: to the standby screen when the mode key opened
    // this screen, else to the main window.
    void leave();

    Ui::CustomMode* ui;
    uint8_t ui_select = 0;
    vyx_keyboard keyboard;
};
