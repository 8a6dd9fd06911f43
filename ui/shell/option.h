#pragma once
// The settings menu (page code 5), opened from the main window: eight
// picture buttons, each opening one screen modally over the menu.

#include <QImage>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

namespace Ui {
class Option;
}

class Option : public PanelDialog {
    Q_OBJECT
public:
    explicit Option(QWidget* parent = nullptr);
    ~Option() override;

    // Also called by the children's back actions and, handed to the GUI
    // thread, by the PC file handler.
    void language_changed();
    void syncUpdate();
    void menulist_init();
    // Also run, in the GUI thread, when a USB stick is mounted while the
    // menu is on top.
    void slot_Button_back_clicked();

    // Helpers the menu keeps for its items' use.
    static QImage converToGrayscale(const QImage& image);
    // The stick's scan files: regular files directly in "/mnt/usb1/" whose
    // suffix is "tzfile", compared case-sensitively.
    static int get_file_list_usbpath();

public slots:
    void on_output_set_clicked();
    void on_AdvanceButton_clicked();
    void on_input_cut_clicked();
    void on_link_set_clicked();
    void on_test_chart_clicked();
    void on_smart_mapping_clicked();
    void on_image_layout_clicked();
    void on_image_quality_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // OK on ring item `item`: the opener of that item.
    void open_item(int item);

    Ui::Option* ui;
    uint8_t ui_select = 0;
    panel::FocusRing ring{ui_select};
};
