#pragma once
// The Ethernet address (page code 22), under the communication menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class linkwlan;
}

class linkwlan : public PanelDialog {
    Q_OBJECT
public:
    explicit linkwlan(QWidget* parent = nullptr);
    ~linkwlan() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::linkwlan* ui;
    uint8_t ui_select = 0;
};
