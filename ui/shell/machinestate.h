#pragma once
// The status screen (page code 2): links, inputs and versions, read-only.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class MachineState;
}

class MachineState : public PanelDialog {
    Q_OBJECT
public:
    explicit MachineState(QWidget* parent = nullptr);
    ~MachineState() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::MachineState* ui;
    uint8_t ui_select = 0;
};
