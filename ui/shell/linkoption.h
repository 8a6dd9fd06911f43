#pragma once
// The communication menu (page code 10), under the settings menu: the
// serial-port view, the Ethernet address screen and the USB upgrade screen.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class LinkOption;
}

class LinkOption : public PanelDialog {
    Q_OBJECT
public:
    explicit LinkOption(QWidget* parent = nullptr);
    ~LinkOption() override;

    // The openers of the three buttons (on OK and on touch).
    void on_Button_linkcom_clicked();
    void on_Button_linkwlan_clicked();
    void on_Button_firmware_usbgrade_clicked();
    void para_init() { }
    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::LinkOption* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
};
