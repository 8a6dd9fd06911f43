#pragma once
// Picture quality (page code 19), under the image-quality menu: brightness,
// sharpness, contrast and saturation, each 0..100 and stepped live, and a
// reset of these and the colour-temperature settings to their defaults.
// Keys only: nothing acts on touch.

#include <cstdint>

#include "ui/setup/setup_kit.h"
#include "ui/setup/value_step.h"
#include "ui/shell/panel_dialog.h"

class QLineEdit;

namespace Ui {
class quality;
}

class quality : public PanelDialog {
    Q_OBJECT
public:
    explicit quality(QWidget* parent = nullptr);
    ~quality() override;

    // The four values into their fields.
    void para_init();
    void menulist_init();
    void language_changed();
    void syncUpdate();
    // Starts the edit of the focused value at the number its field shows.
    void get_sel_value();
    // One step of the edited value: op 0 up, 1 down, 2 accept, 3 revert.
    void updownset_sel_value(char op);
    // The picture and colour-temperature settings back to their defaults.
    void on_Button_reset_clicked();

    static constexpr int kRows = 5;
    static constexpr int kResetRow = 4;

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QLineEdit* field(int row) const;

    Ui::quality* ui;
    uint8_t ui_select = 0;
    panel::SteppedValue m_value;
    panel::FocusRing m_ring;
    panel::TwoStepEdit m_edit;
};
