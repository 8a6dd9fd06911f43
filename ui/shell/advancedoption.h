#pragma once
// The advanced menu (page code 12), under the settings menu.

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

    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void slot_Button_back_clicked();
    void on_Button_LCDshow_clicked();
    void on_Button_other_clicked();
    void on_Button_rcv_recovery_clicked();
    void on_Button_factory_clicked();
    void on_Button_age_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::AdvancedOption* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
    // Calls other threads make into the screen while it is open.
    panel::ScreenHookFill language_hook{ScreenHook::AdvancedOptionLanguageChanged, [this] { language_changed(); }};
};
