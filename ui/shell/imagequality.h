#pragma once
// The image-quality menu (page code 11), under the settings menu: the
// picture-quality and the colour-temperature screens.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class ImageQuality;
}

class ImageQuality : public PanelDialog {
    Q_OBJECT
public:
    explicit ImageQuality(QWidget* parent = nullptr);
    ~ImageQuality() override;

    void para_init() { }
    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void slot_Button_back_clicked();
    void on_Button_quality_clicked();
    void on_Button_temperature_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::ImageQuality* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
};
