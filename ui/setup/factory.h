#pragma once
// Language and factory resets (page code 18), under the advanced menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class factory;
}

class factory : public PanelDialog {
    Q_OBJECT
public:
    explicit factory(QWidget* parent = nullptr);
    ~factory() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::factory* ui;
    uint8_t ui_select = 0;
};
