#pragma once
// Receiving-card recovery (page code 25), under the advanced menu.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class rcv_recovery;
}

class rcv_recovery : public PanelDialog {
    Q_OBJECT
public:
    explicit rcv_recovery(QWidget* parent = nullptr);
    ~rcv_recovery() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void menulist_back_page();

signals:
    // Progress in percent of the FPGA worker's job; 100 ends it.
    void sig_qround_bar_update(int value);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    Ui::rcv_recovery* ui;
    uint8_t ui_select = 0;
    // Calls other threads make into the screen while it is open.
    panel::ScreenHookFill back_hook{ScreenHook::RcvRecoveryBack, [this] { menulist_back_page(); }};
    panel::ValueHookFill progress_hook{
        ScreenValueHook::RcvRecoveryProgress, [this](int value) { emit sig_qround_bar_update(value); }};
};
