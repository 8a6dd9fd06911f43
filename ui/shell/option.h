#pragma once
// The settings menu (page code 5), opened from the main window.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class Option;
}

class Option : public PanelDialog {
    Q_OBJECT
public:
    explicit Option(QWidget* parent = nullptr);
    ~Option() override;

    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void slot_Button_back_clicked();
    void on_output_set_clicked();
    void on_input_cut_clicked();
    void on_image_layout_clicked();
    void on_link_set_clicked();
    void on_image_quality_clicked();
    void on_test_chart_clicked();
    void on_smart_mapping_clicked();
    void on_AdvanceButton_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::Option* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
    // Calls other threads make into the screen while it is open.
    panel::ScreenHookFill language_hook{ScreenHook::OptionLanguageChanged, [this] { language_changed(); }};
};
