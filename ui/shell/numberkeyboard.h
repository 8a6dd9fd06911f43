#pragma once
// The shared on-screen number keyboard over the right half of the panel
// (g_numberkeyboard, built once by the main window). A screen prepares it
// for one field with label_show and runs it modally; OK hands the typed
// text back through sendKeyBoardUIDataToLineEdit. On the keypad a focus
// ring walks its fourteen keys; no key reaches the global keys while it is
// up.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class NumberKeyboard;
}

// The digits typed since the keyboard was last prepared or cleared.
extern QString l_str;

class NumberKeyboard : public PanelDialog {
    Q_OBJECT
public:
    explicit NumberKeyboard(QWidget* parent = nullptr);
    ~NumberKeyboard() override;

    // Prepares the keyboard for one field: its title and current value; the
    // first digit typed then replaces the value. Does not show it.
    void label_show(QString title, QString value);
    // After label_show: at most `digits` digits can be typed for the field
    // (0, or more than the keyboard's own line shows whole: as many as that
    // line shows).
    void set_digits(int digits);
    void language_changed();
    void menulist_init();

signals:
    void sendKeyBoardUIDataToLineEdit(QString text);

private slots:
    void on_ButtonC_clicked();
    void on_ButtonX_clicked();
    void on_Button_ok_clicked();
    void on_Button_close_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Appends one digit to the typed text and shows it in the field.
    void type_digit(int digit);

    Ui::NumberKeyboard* ui;
    uint8_t ui_select = 0;
    int m_digits = 0; // how many digits can be typed
    QString m_style;
    QString m_styleFocused;
    QString m_styleOk;
    QString m_styleOkFocused;
    panel::FocusRing m_ring;
};
