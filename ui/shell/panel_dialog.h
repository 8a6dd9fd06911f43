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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every showing goes to the front by the kit's road
    // (panel::bring_to_front), a screen run modally and a kept window (the
    // number keyboard, the pop-up notice) hidden and shown again alike: an X
    // server without a window manager leaves a kept window where it first
    // stood among the panel's windows, under every screen opened since.
    void showEvent(QShowEvent* event) override;

    // The global keys, handed every released key after the screen's own
    // handling.
    vyx_keyboard keyboard;
};
