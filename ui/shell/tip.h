#pragma once
// The pop-up notice (one instance, g_tip): a check mark, or a line about the
// USB stick or a receiving-card job that failed, shown modally until the
// tick has counted 300 calls. It has no button and no key of its own. The
// change dispatcher's notices come here.

#include "ui/shell/panel_dialog.h"

class QFrame;

namespace Ui {
class TIP;
}

class TIP : public PanelDialog {
    Q_OBJECT
public:
    explicit TIP(QWidget* parent = nullptr);
    ~TIP() override;

    // Replaces the content by notice `kind` (1 check mark, 3 stick
    // connected, 4 stick unplugged, 5 reading, 7 a receiving-card job
    // failed) and shows it for 300 ticks from now; returns when it is
    // hidden. Asked for while a notice is up (from inside its modal run),
    // it replaces that one's content and count and returns at once. Any
    // other kind only removes the content. The result carries nothing.
    int tip_create(int kind);
    // Sets g_tip_flag and runs the notice modally, again for a notice that
    // came while the run was ending.
    int tip_show();
    // One tick while g_tip_flag is set: the 300th hides the notice.
    void tip_outtime_deal();

private:
    Ui::TIP* ui;
    QFrame* m_content = nullptr;
    int m_ticks = 0;
    bool m_running = false; // inside tip_show's modal run
    bool m_waiting = false; // a notice came after the run's notice had closed
};
