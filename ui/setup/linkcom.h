#pragma once
// The serial link's settings (page code 21), under the communication menu:
// fixed texts, nothing to choose.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class linkcom;
}

class linkcom : public PanelDialog {
    Q_OBJECT
public:
    explicit linkcom(QWidget* parent = nullptr);
    ~linkcom() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void para_init() { }
    void menulist_init() { }

    Ui::linkcom* ui;
};
