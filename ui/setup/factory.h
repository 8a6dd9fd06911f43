#pragma once
// Language and factory resets (page code 18), under the advanced menu. The
// language row is a two-step edit over the offered languages; the three
// reset rows act at once on OK: "Keep IP" (video and panel settings back to
// their defaults), "Keep IP,EDIP" (the same, the EDID requests kept) and
// "Reset ALL" (the Ethernet address as well). Two lines show which OSD
// fonts the scaler found in its flash. Keys only: nothing acts on touch.

#include <QString>
#include <cstdint>

#include "ui/setup/setup_kit.h"
#include "ui/shell/panel_dialog.h"

class QComboBox;
class QPushButton;

namespace Ui {
class factory;
}

class factory : public PanelDialog {
    Q_OBJECT
public:
    explicit factory(QWidget* parent = nullptr);
    ~factory() override;

    void para_init();
    void menulist_init();
    void language_changed();
    void syncUpdate();

    // Applies the language candidate (only while the row is edited).
    void on_Button_lang_clicked();
    // The three resets: "Keep IP", "Keep IP,EDIP", "Reset ALL".
    void on_Button_reset1_clicked();
    void on_Button_reset2_clicked();
    void on_Button_reset3_clicked();
    // Make the candidate an offered language, searching upward or
    // downward with wrap-around.
    void lcdlang_current_checkplus();
    void lcdlang_current_checkmin();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    enum class Reset { KeepIp, KeepIpEdid, All };
    void reset(Reset depth);
    // Left (-1) or right (+1) on the candidate while the row is edited.
    void step_language(int delta);
    void show_candidate();

    Ui::factory* ui;
    uint8_t ui_select = 0;
    uint8_t lcdlang_current = 0;
    QString m_comboStyle;
    QString m_comboFocused;
    QString m_comboEditing;
    QString m_buttonStyle;
    QString m_buttonFocused;
    panel::FocusRing m_ring;
    panel::TwoStepEdit m_edit;
};
