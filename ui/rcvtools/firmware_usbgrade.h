#pragma once
// USB firmware upgrade (page code 26), under the communication menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class firmware_usbgrade;
}

class firmware_usbgrade : public PanelDialog {
    Q_OBJECT
public:
    explicit firmware_usbgrade(QWidget* parent = nullptr);
    ~firmware_usbgrade() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void menulist_back_page();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::firmware_usbgrade* ui;
    uint8_t ui_select = 0;
};
