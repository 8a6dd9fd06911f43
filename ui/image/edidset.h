#pragma once
// The EDID settings screen (page code 8), under the input choice screen:
// for each of the four inputs the timing it announces to the source device
// (width, height, refresh 30 or 60 Hz), kept as requests in the parameter
// image that the scaler and the input-source manager bring into the
// input's EDID.
//
// Levels (ui_seltype): 0 choosing the input on the row of four tiles;
// 1 the edit panel, its items by ui_line_select: 0 width, 1 height,
// 2 refresh, 3 Delete, 4 Cancel, 5 Save; 2 changing the refresh. Keys drive
// every level; a touch on the width or height field opens the number
// keyboard. Delete, Cancel and Save are worked by the keys only, and Delete
// does what Cancel does.

#include <QFont>
#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QFrame;
class QLabel;
class QPushButton;

namespace Ui {
class EDIDset;
}

class EDIDset : public PanelDialog {
    Q_OBJECT
public:
    explicit EDIDset(QWidget* parent = nullptr);
    ~EDIDset() override;

    void language_changed();
    void syncUpdate();

public slots:
    // Left or right at level 0: the input at list position ui_select.
    void vyx_button_input_clicked();
    // OK at level 0: the edit panel with the input's stored request.
    void vyx_button_source_clicked();
    void show_numberkeyboard_ui(QString data);
    void confirmString(QString text);
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Cancel and Delete: the panel closes, nothing is written.
    void vyx_button_cancel_clicked();
    // Save: the panel's values become the input's request.
    void vyx_button_ok_clicked();
    void on_Button_freq_clicked();
    void menulist_init();
    // The input card: deleted and built anew.
    void source_init();
    // The panel's styles back to normal and the panel hidden.
    void close_panel();
    QWidget* panel_item(int item) const;
    // The style of panel item `item`, focused or not.
    QString item_style(int item, bool focused) const;
    void panel_key(panel::KeyRole role);
    void refresh_key(panel::KeyRole role);

    Ui::EDIDset* ui;
    uint8_t ui_select = 0;
    uint8_t ui_line_select = 0;
    uint8_t ui_seltype = 0;
    // 1: 60 Hz, 0: 30 Hz.
    uint8_t freq_select = 0;
    uint8_t freq_select_saved = 0;
    // The chosen input's source id: HDMI1 first.
    uint8_t input_id = 1;
    QString input_name;
    QFont font_card;

    QFrame* frame_tab = nullptr;
    QFrame* frame_source = nullptr;
    QPushButton* button_cancel = nullptr;
    QPushButton* button_save = nullptr;
    QPushButton* button_delete = nullptr;
};
