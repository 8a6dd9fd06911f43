#pragma once
// The user-mode screen (page code 4): a plain widget shown with show(),
// opened from the main window or by the mode key on any other screen.
//
// Left and right step through the 16 slots; each shows its display name,
// LED size, brightness, contrast and sound, whether it is the mode in use,
// and a preview of its images 1-4. On a saved slot OK moves the focus to
// the buttons below: Invoke copies the slot into the live settings and has
// the scaler apply it, Delete removes it, More (shown when the slot keeps
// an OSD menu) shows that menu's settings while it is focused. Saving a
// mode is the main window's tool.

#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "ui/shell/vyx_keyboard.h"

class QLabel;
class vyxcontrol;

namespace Ui {
class CustomMode;
}

class CustomMode : public QWidget {
    Q_OBJECT
public:
    explicit CustomMode(QWidget* parent = nullptr);
    ~CustomMode() override;

    // The 16 entries of the mode selector, in the language of the moment.
    void init();
    void menulist_init();
    // 1 when slot g_mode_select is saved.
    int get_mode_status();
    // Name, LED size and level lines of slot g_mode_select.
    void lcd_para_init();
    // The preview of slot g_mode_select: its images, or its OSD menu while
    // More is focused; the notice alone for an empty slot.
    void image_para_init();
    // The chip colour of image index k.
    void color_fill(QLabel* label, unsigned char k);
    // Action buttons (0 Invoke, 1 Delete, 2 More): op 0 focuses `index`
    // and redraws the slot, 1 unfocuses it, 2 unfocuses all three.
    void vyx_button_selinfo(unsigned char op, unsigned char index);

    void language_changed();
    void syncUpdate();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private slots:
    void on_Button_delete_clicked();
    void on_Button_use_clicked();
    // Back to the main window (page 1).
    void slot_Button_back_clicked();
    // The selector's slot becomes g_mode_select and is redrawn.
    void vyx_button_mode_clicked();

private:
    // Back at the selector: to the standby screen when the mode key opened
    // this screen, else to the main window.
    void leave();
    void image_list(const uint8_t* slot);
    void osd_page();
    QLabel* preview_label(const QString& name, const QRect& at);

    Ui::CustomMode* ui;
    vyxcontrol* mode_box = nullptr;
    QWidget* preview = nullptr;
    QFont preview_font;
    QLabel* label_chip = nullptr;
    QLabel* label_upper = nullptr;
    QLabel* label_lower = nullptr;
    uint8_t ui_select = 0;
    uint8_t ui_level = 0;  // 0 the selector, 1 the action buttons
    uint8_t ui_button = 0; // 0 Invoke, 1 Delete, 2 More
    uint8_t ui_button_hidden = 1;
    const QString style_focus;
    const QString style_normal;
    QWidget* focus_current = nullptr;
    QWidget* focus_first = nullptr;
    vyx_keyboard keyboard;
};
