#pragma once
// Output-port state (page code 14), under the output menu: the link of ten
// output ports, four at a time, and the LED-screen rectangle the selected
// port drives. Nothing here is editable; left and right move the selection.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"

class QPushButton;

namespace Ui {
class netset;
}

class netset : public PanelDialog {
    Q_OBJECT
public:
    explicit netset(QWidget* parent = nullptr);
    ~netset() override;

    void language_changed();
    void syncUpdate();
    void menulist_init();
    // Shows X, Y, W, H of `port` (0-based; above 9 taken as 0) from FPGA 0's
    // parameter RAM, and numbers the four columns from the window.
    void wlan_para_get(uint16_t port);
    // Link icons of the four shown ports.
    void initWlan();

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    static constexpr int kColumns = 4;
    static constexpr int kPorts = 10;

    void initMenu();
    void para_init() { }
    void move_right();
    void move_left();
    // The selection frame over the selected column.
    void place_frame();

    Ui::netset* ui;
    uint8_t ui_select = 0;     // selected port, 0..9
    uint8_t ui_sel = 0;        // its column, 0..3
    uint8_t ui_min_select = 0; // port of the first column, 0..6
    QPushButton* m_boxes[kColumns] = {};
    QPushButton* m_box = nullptr; // box of the selected column
    const QString m_boxStyle;
    const QString m_boxSelectedStyle;
};
