#pragma once
// The pop-up notice (one instance, g_tip): a check mark, or a line about the
// USB stick, shown modally until the tick has counted 300 calls.

#include "ui/shell/panel_dialog.h"

namespace Ui {
class TIP;
}

class TIP : public PanelDialog {
    Q_OBJECT
public:
    explicit TIP(QWidget* parent = nullptr);
    ~TIP() override;

    // Shows notice `kind` (1 check mark, 3 stick connected, 4 stick
    // unplugged, 5 reading) and returns when it closed.
    void tip_create(int kind);
    // One tick while g_tip_flag is set.
    void tip_outtime_deal();

private:
    Ui::TIP* ui;
};
