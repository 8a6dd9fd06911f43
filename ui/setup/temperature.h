#pragma once
// Colour temperature (page code 20), under the image-quality menu: the
// type (custom, warm, nature, cool), chosen in a combo and written when
// confirmed, and the red, green and blue gains, stepped live as on the
// picture-quality screen. The gains reach the picture only while the type
// is custom. Keys only: nothing acts on touch.

#include <cstdint>

#include "ui/setup/setup_kit.h"
#include "ui/setup/value_step.h"
#include "ui/shell/panel_dialog.h"

class QLineEdit;

namespace Ui {
class temperature;
}

class temperature : public PanelDialog {
    Q_OBJECT
public:
    explicit temperature(QWidget* parent = nullptr);
    ~temperature() override;

    // The gains into their fields, the type names into the combo.
    void para_init();
    void menulist_init();
    void language_changed();
    void syncUpdate();
    // Writes the type the combo shows.
    void on_button_type_clicked();
    // Starts the edit of the focused gain at the number its field shows.
    void get_sel_value();
    // One step of the edited gain: op 0 up, 1 down, 2 accept, 3 revert.
    void updownset_sel_value(char op);

    static constexpr int kRows = 4;
    static constexpr int kTypeRow = 0;
    static constexpr int kTypes = 4;

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QLineEdit* gain_field(int row) const;
    // Left (-1) or right (+1) on the type while its row is edited.
    void step_type(int delta);

    Ui::temperature* ui;
    uint8_t ui_select = 0;
    uint8_t type_index = 0;
    panel::SteppedValue m_value;
    panel::FocusRing m_ring;
    panel::TwoStepEdit m_edit;
};
