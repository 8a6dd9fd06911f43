#pragma once
// LED screen size (page code 13), under the output menu: the LED screen's
// total width and height, typed on the number keyboard and held within the
// screen's limits as they are typed. Apply lays both outputs over the whole
// screen without splicing; a size that differs from the one stored also
// makes image 0 fill the screen, switches images 1-5 off, starts the LED
// handshake with the FPGA worker and shows the check mark.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QLineEdit;

namespace Ui {
class ledset;
}

class ledset : public PanelDialog {
    Q_OBJECT
public:
    // Limits of a typed side, and of the pixel count when the width, or the
    // height, was typed.
    static constexpr int kMinSide = 64;
    static constexpr int kMaxSide = 8188;
    static constexpr int64_t kMaxPixelsWidthTyped = 6553600;
    static constexpr int64_t kMaxPixelsHeightTyped = 13000000;

    explicit ledset(QWidget* parent = nullptr);
    ~ledset() override;

    void para_init();
    void menulist_init();
    void language_changed();
    void syncUpdate();
    // Apply: OK on the Apply button.
    void on_Button_apply1_clicked();

public slots:
    // A field was touched, or OK pressed on it: the number keyboard opens on it.
    void show_numberkeyboard_ui(QString text);
    // The keyboard's OK: the typed value, held within the limits.
    void confirmString(QString typed);
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void open_keyboard_on(QLineEdit* field);

    Ui::ledset* ui;
    uint8_t ui_select = 0;
    QString m_editName;
    QString m_fieldStyle;
    QString m_fieldFocused;
    QString m_buttonStyle;
    QString m_buttonFocused;
    panel::FocusRing m_ring;
};
