#pragma once
// The base of every modal panel screen: a QDialog on which no key closes or
// accepts anything by itself. Presses only log the OK and back keys; a
// screen acts on releases, in its own keyReleaseEvent.

#include <QDialog>

#include "ui/shell/vyx_keyboard.h"

class QKeyEvent;

class PanelDialog : public QDialog {
    Q_OBJECT
public:
    explicit PanelDialog(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

    // The global keys, handed every released key after the screen's own
    // handling.
    vyx_keyboard keyboard;
};
