#pragma once
// Picture quality (page code 19), under the image-quality menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class quality;
}

class quality : public PanelDialog {
    Q_OBJECT
public:
    explicit quality(QWidget* parent = nullptr);
    ~quality() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::quality* ui;
    uint8_t ui_select = 0;
};
