#pragma once
// The input choice screen (page code 3): the input, or the crop of an input,
// each image shows.
//
// Three focus levels, moved by the keys only (touch does nothing here):
//   0  the tab row (one tab per image in use, image 0 always) and the two
//      buttons that open the input crop and EDID screens;
//   1  the input row, in list order (HDMI1, HDMI2, HDMI3, DVI), each with
//      its display name, its number of entries and whether it has a signal;
//   2  the entries of the listed input, three to a page: entry 0 is the
//      whole input, entry j >= 1 its j-th crop by crop number. OK writes
//      the entry as the current image's source.

#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QFrame;
class QLabel;

namespace Ui {
class InputChoose;
}

class InputChoose : public PanelDialog {
    Q_OBJECT
public:
    explicit InputChoose(QWidget* parent = nullptr);
    ~InputChoose() override;

    void language_changed();
    void syncUpdate(int code);
    // The entry area of the listed input, anew; at the tab row that is the
    // input the current image shows.
    void initSource();
    // Entry counts of every input (crops + 1), then the input row anew.
    void crop_source_num_update();
    // After the crop table changed, by the crop screen or the PC: the
    // counts, the entries they list and the tabs' texts anew. Leaves the
    // crop numbering (VyxCropSourceInit) to whoever changed the table.
    void crops_changed();
    // Back from the crop or EDID screen: the crop numbering, the input row,
    // the tabs, the input highlight and the entries anew from the images'
    // sources as they stand.
    void child_closed();

    // Focus levels (ui_seltype).
    enum Level : uint8_t { kLevelTabs = 0, kLevelInputs = 1, kLevelEntries = 2 };
    // ui_select at level 0 on the two buttons.
    static constexpr uint8_t kSelectInputCut = 4;
    static constexpr uint8_t kSelectEdid = 5;
    static constexpr int kImages = 4; // images with a tab: 0..3
    static constexpr int kEntriesPerPage = 3;

    // For tests and the screenshots: where the focus is and what is listed.
    uint8_t level() const { return ui_seltype; }
    uint8_t selected() const { return ui_select; }
    uint8_t page() const { return current_page; }
    uint8_t image() const { return current_image; }
    uint8_t listed_source() const { return source_number; }
    int tab_count() const { return tab_num; }

public slots:
    void vyx_source_button_clicked();
    void slot_Button_back_clicked();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void menulist_init();
    // Tabs, input highlight and entries anew from the images' sources, the
    // focus kept where it can stay.
    void rebuild_from_images();
    void initMenu();
    void TextCreate(char image, char);
    void imagemenu();
    // The tab frame and the buttons' styles for where the focus is.
    void show_tab_focus();
    void image_select();
    void on_Button_source_clicked();
    void source_name_update();
    void source_check_update();
    void source_current_check();
    uint8_t get_source_num(unsigned char id) const;
    void para_source_index_init();
    void para_uiselect_init();
    void input_source_changed(char image);
    void vyx_button_inputcut_clicked();
    void vyx_button_EDID_clicked();

    void tabs_key(panel::KeyRole role);
    void inputs_key(panel::KeyRole role);
    void entries_key(panel::KeyRole role);
    // The tab showing image `image`, or -1 when it has none.
    int tab_of(int image) const;
    // Places the tab selection frame over tab `tab` in `style`.
    void place_tab_frame(int tab, const char* style);
    // The entry that shows crop-table entry `entry` of `source` (its crop
    // number's rank among the input's crops), 0 when there is none.
    int entry_of_crop(int source, int entry) const;
    // The entry the current image shows, when it shows the listed input.
    int in_use_entry() const;
    // Builds the widgets of entry j at page position i in the entry area.
    void add_entry(int i, int j, bool inUse);

    Ui::InputChoose* ui;
    uint8_t ui_select = 0;
    uint8_t ui_seltype = kLevelTabs;
    uint8_t source_num[kImages] = {}; // entry count per source id 0..3

    QFrame* tab_row = nullptr;
    QFrame* tab_frame = nullptr;
    QLabel* tab_label[kImages] = {}; // tab text of image w, while it has a tab

    uint8_t current_image = 0;
    uint8_t source_number = 0;  // source id of the listed input
    uint8_t source_listseq = 0; // its list position
    uint8_t source_id = 0;      // source id the current image uses
    uint8_t crop_id = 0;        // crop-table entry it shows, if a crop
    uint8_t saved_tab = 0;
    uint16_t source_type = 0; // 1: the current image shows a crop
    uint8_t current_page = 0;
    uint8_t last_page = 0;
    uint8_t tab_num = 0;
    uint8_t tab_image[kImages] = {}; // image shown by tab t

    QFrame* entry_area = nullptr;
    QString source_name; // built-in name of the listed input
};
