#pragma once
// Colour temperature (page code 20), under the image-quality menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class temperature;
}

class temperature : public PanelDialog {
    Q_OBJECT
public:
    explicit temperature(QWidget* parent = nullptr);
    ~temperature() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::temperature* ui;
    uint8_t ui_select = 0;
};
