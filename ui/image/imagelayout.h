#pragma once
// The image layout screen (page code 9), under the settings menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class ImageLayout;
}

class ImageLayout : public PanelDialog {
    Q_OBJECT
public:
    explicit ImageLayout(QWidget* parent = nullptr);
    ~ImageLayout() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::ImageLayout* ui;
    uint8_t ui_select = 0;
};
