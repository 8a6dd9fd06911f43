#pragma once
// The EDID settings screen (page code 8), under the input choice screen.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class EDIDset;
}

class EDIDset : public PanelDialog {
    Q_OBJECT
public:
    explicit EDIDset(QWidget* parent = nullptr);
    ~EDIDset() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::EDIDset* ui;
    uint8_t ui_select = 0;
};
