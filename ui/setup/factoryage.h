#pragma once
// The ageing-test monitor (page code 23), under the advanced menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class factoryage;
}

class factoryage : public PanelDialog {
    Q_OBJECT
public:
    explicit factoryage(QWidget* parent = nullptr);
    ~factoryage() override;

    void syncUpdate();
    // Redraws the open page from the ageing log; the tick calls it after
    // every ageing check.
    void update_agelog();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::factoryage* ui;
    uint8_t ui_select = 0;
};
