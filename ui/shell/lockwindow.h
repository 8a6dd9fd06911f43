#pragma once
// The standby screen (page code 0), shown over the main window at start-up
// and whenever the user backs out of it. A touch anywhere on it, its main
// button or OK leaves it for the main window.

#include <QDialog>

#include "ui/shell/vyx_keyboard.h"

namespace Ui {
class LockWindow;
}

class LockWindow : public QDialog {
    Q_OBJECT
public:
    explicit LockWindow(QWidget* parent = nullptr);
    ~LockWindow() override;

    void syncUpdate();

public slots:
    void on_main_Button_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Closes the screen; the main window is on top again (page 1).
    void leave();

    Ui::LockWindow* ui;
    vyx_keyboard keyboard;
};
