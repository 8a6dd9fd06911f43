#pragma once
// The base of every modal panel screen: a QDialog on which no key closes or
// accepts anything by itself. Presses only log the OK and back keys; a
// screen acts on releases, in its own keyReleaseEvent. Whenever it is shown
// it comes over every other panel window.

#include <QDialog>

#include "ui/shell/vyx_keyboard.h"

class QKeyEvent;
class QShowEvent;

class PanelDialog : public QDialog {
    Q_OBJECT
public:
    explicit PanelDialog(QWidget* parent = nullptr);

    // panel::bring_to_front on this window: over every other panel window
    // (under the firmware dialog while that is up), with the keys unless a
    // modal screen holds them.
    void bring_to_front();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A kept window (the number keyboard, the pop-up notice) is hidden and
    // shown again; an X server without a window manager leaves it where it
    // first stood among the panel's windows, under every screen opened
    // since, so each showing brings it to the front.
    void showEvent(QShowEvent* event) override;

    // The global keys, handed every released key after the screen's own
    // handling.
    vyx_keyboard keyboard;
};
