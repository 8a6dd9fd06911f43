#pragma once
// Panel time-outs (page code 15), under the advanced menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class lcdshow;
}

class lcdshow : public PanelDialog {
    Q_OBJECT
public:
    explicit lcdshow(QWidget* parent = nullptr);
    ~lcdshow() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::lcdshow* ui;
    uint8_t ui_select = 0;
};
