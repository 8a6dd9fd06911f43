#pragma once
// Panel time-outs (page code 15), under the advanced menu: how long before
// the panel goes back to the main window and before it locks, picked from
// fixed lists with the keypad and held in memory only.

#include <QString>
#include <cstdint>

#include "ui/setup/setup_kit.h"
#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QComboBox;

namespace Ui {
class lcdshow;
}

class lcdshow : public PanelDialog {
    Q_OBJECT
public:
    explicit lcdshow(QWidget* parent = nullptr);
    ~lcdshow() override;

    void language_changed();
    void syncUpdate();
    void para_init();
    void menulist_init();
    // Store the candidate entry into g_back_to_mainwindow_time or
    // g_auto_lock_time; another candidate stores nothing.
    void on_button_backtolock_clicked();
    void on_button_autolock_clicked();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QComboBox* combo(int item) const;

    Ui::lcdshow* ui;
    uint8_t ui_select = 0;   // 0 comboBox_back, 1 comboBox_lock
    uint8_t m_candidate = 0; // entry shown while editing
    const QString m_style;
    const QString m_styleFocused;
    const QString m_styleEditing;
    panel::FocusRing m_ring;
    panel::TwoStepEdit m_edit;
    panel::EditActions m_actions;
};
