#pragma once
// The advanced menu (page code 12), under the settings menu: the LCD
// timeouts, other settings, receiving-card recovery (only while recovery
// files are stored), factory settings and, behind an access code typed on
// the number keyboard, the ageing monitor.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class AdvancedOption;
}

class AdvancedOption : public PanelDialog {
    Q_OBJECT
public:
    explicit AdvancedOption(QWidget* parent = nullptr);
    ~AdvancedOption() override;

    void slot_Button_back_clicked();
    void para_init() { }
    // Also counts the stored recovery files again. Called by the children's
    // back actions and, handed to the GUI thread, by the PC file handler.
    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void on_Button_LCDshow_clicked();
    void on_Button_other_clicked();
    void on_Button_rcv_recovery_clicked();
    void on_Button_factory_clicked();
    void on_Button_age_clicked();
    // The text the number keyboard's OK hands back.
    void confirmString(QString text);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);
    // The style of ring item `index`: the recovery button is grey while
    // there is nothing to recover.
    QString item_style(int index, bool focused) const;

    Ui::AdvancedOption* ui;
    // Non-zero while recovery files are stored.
    uint8_t recovery_flag = 0;
    uint8_t ui_select = 0;
    // 1 only while the ageing monitor opens after a correct code.
    uint8_t access_flag = 0;
    // Set only while this menu's own keyboard run asks for the code: the
    // keyboard is shared, and a number typed for another screen is no code.
    bool awaiting_code = false;
    panel::FocusRing ring{ui_select};
};
