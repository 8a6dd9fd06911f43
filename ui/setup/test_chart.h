#pragma once
// Test patterns on the LED screen (page code 16), under the settings menu:
// eight pictures and Close. OK on a picture shows its pattern (image byte
// 864) and the screen stays; Close and back switch it off and leave. The
// mode key leaves the pattern on.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class test_chart;
}

class test_chart : public PanelDialog {
    Q_OBJECT
public:
    static constexpr int kPictures = 8;
    static constexpr int kCloseItem = kPictures;

    explicit test_chart(QWidget* parent = nullptr);
    ~test_chart() override;

    void menulist_init();
    void language_changed();
    void syncUpdate();
    // Shows the pattern of the focused picture (none on Close).
    void slot_Button_on_clicked();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    // Where back leads once the pattern is off, and the mode key's chain:
    // the settings menu here; the copy under the advanced menu has its own.
    virtual void leave_to_menu();
    virtual bool leave_by_mode_key();

private:
    Ui::test_chart* ui;
    uint8_t ui_select = 0;
    QString m_pictureStyle;
    QString m_pictureFocused;
    QString m_closeStyle;
    QString m_closeFocused;
    panel::FocusRing m_ring;
};
