#pragma once
// The smart-setup wizard (page code 24), under the settings menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class SmartMapping;
}

class SmartMapping : public PanelDialog {
    Q_OBJECT
public:
    explicit SmartMapping(QWidget* parent = nullptr);
    ~SmartMapping() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void Button_back_clicked();

signals:
    // Progress in percent of the FPGA worker's job; 100 ends it.
    void sig_qround_bar_update(int value);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::SmartMapping* ui;
    uint8_t ui_select = 0;
    // Calls other threads make into the screen while it is open.
    panel::ScreenHookFill back_hook{ScreenHook::SmartMappingBack, [this] { Button_back_clicked(); }};
    panel::ValueHookFill progress_hook{
        ScreenValueHook::SmartMappingProgress, [this](int value) { emit sig_qround_bar_update(value); }};
};
