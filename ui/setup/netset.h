#pragma once
// Output-port state (page code 14), under the output menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class netset;
}

class netset : public PanelDialog {
    Q_OBJECT
public:
    explicit netset(QWidget* parent = nullptr);
    ~netset() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::netset* ui;
    uint8_t ui_select = 0;
};
