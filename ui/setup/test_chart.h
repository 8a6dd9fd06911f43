#pragma once
// Test patterns on the LED screen (page code 16), under the settings menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class test_chart;
}

class test_chart : public PanelDialog {
    Q_OBJECT
public:
    explicit test_chart(QWidget* parent = nullptr);
    ~test_chart() override;

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::test_chart* ui;
    uint8_t ui_select = 0;
};
