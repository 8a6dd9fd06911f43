#pragma once
// The Ethernet address (page code 22), under the communication menu: the
// address, mask and gateway of eth0 as three rows of four number fields,
// retyped on the number keyboard and stored and applied together.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class My_lineEdit;

namespace Ui {
class linkwlan;
}

class linkwlan : public PanelDialog {
    Q_OBJECT
public:
    explicit linkwlan(QWidget* parent = nullptr);
    ~linkwlan() override;

    void menulist_init();
    void language_changed();
    void syncUpdate();
    // Stores a changed set in the configuration and applies it to eth0. A
    // set with a part that is not a number 0..255 is refused, silently.
    void on_Button_net_apply_clicked();

public slots:
    void slot_Button_back_clicked();
    // The number keyboard's OK: the text goes into the field being edited,
    // when that is one of this screen's.
    void confirmString(QString text);
    // Opens the number keyboard on the field that sent the signal.
    void show_numberkeyboard_ui(QString);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    static constexpr int kFields = 12;
    static constexpr int kApply = 12;
    static constexpr int kCancel = 13;

    void para_init() { }
    // The fields from g_str_ip, g_srt_mask and g_str_gateway.
    void fill();
    void ok_key(int item);
    // Style of field `index` without the focus: its place in its row.
    QString row_style(int index) const;

    Ui::linkwlan* ui;
    uint8_t ui_select = 0;
    QString m_editName; // object name of the field last opened on the keyboard
    const QString m_styleFieldFocused;
    const QString m_styleButton;
    const QString m_styleButtonFocused;
    const QString m_styleFirst;
    const QString m_styleMiddle;
    const QString m_styleLast;
    My_lineEdit* m_fields[kFields] = {};
    QStringList m_names;
    panel::FocusRing m_ring;
};
