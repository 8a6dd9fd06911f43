#pragma once
// Other settings (page code 17), under the advanced menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class othersetup;
}

class othersetup : public PanelDialog {
    Q_OBJECT
public:
    explicit othersetup(QWidget* parent = nullptr);
    ~othersetup() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::othersetup* ui;
    uint8_t ui_select = 0;
};
