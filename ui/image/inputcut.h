#pragma once
// The input crop screen (page code 7), under the input choice screen or the
// settings menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"

namespace Ui {
class InputCut;
}

class InputCut : public PanelDialog {
    Q_OBJECT
public:
    explicit InputCut(QWidget* parent = nullptr);
    ~InputCut() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::InputCut* ui;
    uint8_t ui_select = 0;
};
