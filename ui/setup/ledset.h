#pragma once
// LED screen size (page code 13), under the output menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class ledset;
}

class ledset : public PanelDialog {
    Q_OBJECT
public:
    explicit ledset(QWidget* parent = nullptr);
    ~ledset() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::ledset* ui;
    uint8_t ui_select = 0;
};
