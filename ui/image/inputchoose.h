#pragma once
// The input choice screen (page code 3): the source or crop each image shows.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class InputChoose;
}

class InputChoose : public PanelDialog {
    Q_OBJECT
public:
    explicit InputChoose(QWidget* parent = nullptr);
    ~InputChoose() override;

    void language_changed();
    void syncUpdate(int code);
    void menulist_init();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void vyx_button_inputcut_clicked();
    void vyx_button_EDID_clicked();
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::InputChoose* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
};
