#pragma once
// The output menu (page code 6), under the settings menu: the LED screen
// size and splicing screen, the output-port view, and the LED size set.

#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class OutputSet;
}

class OutputSet : public PanelDialog {
    Q_OBJECT
public:
    explicit OutputSet(QWidget* parent = nullptr);
    ~OutputSet() override;

    void language_changed();
    void syncUpdate();
    void menulist_init();

public slots:
    void slot_Button_back_clicked();
    void on_Button_ledset_clicked();
    void on_Button_lanset_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::OutputSet* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
};
