#pragma once
// Other settings (page code 17), under the advanced menu: which image
// carries the sound and whether it sounds, the effect of a source change
// (seamless or fade), the WiFi access point on or off and dot-by-dot
// output. Each row is a combo changed in a two-step edit; only OK writes.
// A projection row stays hidden and never takes the focus. Keys only.

#include <cstdint>

#include "ui/setup/setup_kit.h"
#include "ui/shell/panel_dialog.h"

class QComboBox;

namespace Ui {
class othersetup;
}

class othersetup : public PanelDialog {
    Q_OBJECT
public:
    explicit othersetup(QWidget* parent = nullptr);
    ~othersetup() override;

    void menulist_init();
    // Every combo filled and set from the parameter image.
    void para_init();
    void language_changed();
    void syncUpdate();
    // Applies the focused row's edit value.
    void on_button_box_clicked();

    enum Row { kRowImage = 0, kRowSound = 1, kRowSwitch = 2, kRowMode = 3, kRowWifi = 4, kRowDbd = 5 };
    static constexpr int kRows = 6;

public slots:
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // What the image and sound rows were drawn from: a change of it by a PC
    // redraws them.
    struct SoundRows {
        uint8_t enabled = 0; // bit k: image k (0..5) is enabled
        int audio = 0;       // the audio image word
        bool sounding = false;
        bool operator==(const SoundRows& o) const
        {
            return enabled == o.enabled && audio == o.audio && sounding == o.sounding;
        }
    };
    static SoundRows sound_rows_now();
    // Fills the image and sound rows from the parameter image; the image
    // row shows image `keep` while it is enabled, else the audio image.
    void sound_rows_init(int keep);
    // Both rows drawn again from the image, an edit of either dropped.
    void redraw_sound_rows();
    // The image number of the image row's entry, or -1.
    int shown_image() const;

    QComboBox* combo(int row) const;
    // Left (-1) or right (+1) on the edit value, wrapping at the row's
    // entry count.
    void step_entry(int delta);
    void apply_sound();
    void apply_switch();
    void apply_wifi();
    void apply_dbd();

    Ui::othersetup* ui;
    uint8_t ui_select = 0;
    uint8_t edit_value = 0;
    uint8_t entry_count[kRows] = {6, 2, 2, 1, 2, 2};
    panel::FocusRing m_ring;
    panel::TwoStepEdit m_edit;
    SoundRows m_soundDrawn;
};
