#pragma once
// The smart-setup screen (page code 24), under the settings menu: the
// installer sets up the receiving cards behind one output port without a
// PC. A main menu at the left offers four functions, each on pages of one
// stacked widget: the setup wizard (pages 0-3: cabinet size, output port,
// rows, columns, cabling pattern and offsets), loading a scan-parameter
// file (pages 4-5), parameter curing (page 6) and the mapping switch (page
// 7). The screen drives no card itself: it fills the layout record and
// posts jobs to the FPGA worker, whose progress shows in the progress ring.
//
// Keypad: at menu level 0 Left and Right move in the main menu and preview
// the item's page, OK enters it (level 1), back closes the screen; at level
// 1 the keys belong to the page, whose own back hands them to the menu.
// Touch and keypad share the pages but not the keypad's state.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRoundProgressBar;

namespace Ui {
class SmartMapping;
}

class SmartMapping : public PanelDialog {
    Q_OBJECT
public:
    explicit SmartMapping(QWidget* parent = nullptr);
    ~SmartMapping() override;

    void language_changed();
    void syncUpdate(int code);

    // ---- main menu ----
    void menulist_main_sel();
    // Left (-1) or right (+1) in the main menu, previewing the item's page.
    void menulist_main_move(int delta);
    // OK in the main menu: the item's page takes the keys.
    void menulist_main_ok();
    // Right (true) or left on the page that has the keys.
    void page_move(bool right);
    void menulist_fuc_sel_default();
    void button_select(QPushButton* button);

    // ---- wizard (main index 0) ----
    void wlan_init(unsigned char page);
    void wlan_foucus_style(QPushButton* button);
    void line_select(char pattern);
    void language_for_shortcutt_page0();
    void language_for_shortcutt_page1();
    void language_for_shortcutt_page2();
    void language_for_shortcutt_page3();
    void menulist_shortcut_page1_init();
    void menulist_shortcut_page2_init();
    void menulist_shortcut_page3_init();
    void menulist_shortcut_page3_button_route_init();
    void menulist_shortcut_page3_button_route_ok();
    void menulist_shortcut_default();
    void menulist_shortcut_page1_sel_right();
    void menulist_shortcut_page1_sel_left();
    void menulist_shortcut_page2_sel_right();
    void menulist_shortcut_page2_sel_left();
    void menulist_shortcut_page3_sel_right();
    void menulist_shortcut_page3_sel_left();
    void menulist_shortcut_page3_button_route_sel_right();
    void menulist_shortcut_page3_button_route_sel_left();
    void menulist_shortcut_page2_sel_default();
    void menulist_shortcut_page2_sel_recovery();
    void menulist_shortcut_page3_sel_default();
    void menulist_shortcut_page3_sel_recovery();
    void menulist_shortcut_button_ok_page();
    void menulist_shortcut_back_page();

    // ---- scan-parameter files (main index 1) ----
    void get_file_list_smartpath();
    void get_file_list_usbpath();
    void scan_file_list();
    void language_for_loadscan_page4();
    void language_for_loadscan_page5();
    void menulist_loadscan_page1_init(unsigned char entered);
    void menulist_loadscan_page2_init();
    void menulist_loadscan_page1_sel_right();
    void menulist_loadscan_page1_sel_left();
    void menulist_loadscan_page2_sel_right();
    void menulist_loadscan_page2_sel_left();
    void menulist_loadscan_page1_sel_default();
    void menulist_loadscan_page1_sel_recovery();
    void menulist_loadscan_page2_sel_default();
    void menulist_loadscan_page2_sel_recovery();
    void menulist_loadscan_button_ok_page();
    void menulist_loadscan_back_page();

    // ---- curing and mapping (main indexes 2 and 3) ----
    void language_for_paraweld_page6();
    void language_for_mapping_page7();
    void menulist_paraweld_page1_init();
    void menulist_paraweld_button_ok_page();
    void menulist_paraweld_back_page();
    void menulist_mapping_page1_init();
    void menulist_mapping_button_ok_page();
    void menulist_mapping_back_page();

public slots:
    void Button_back_clicked();
    void on_Button_shortcut_clicked();
    void on_Button_loadscan_clicked();
    void on_Button_paraweld_clicked();
    void on_Button_mapping_clicked();
    void on_Button_next_clicked();
    void on_Button_front_2_clicked();
    void on_Button_next_2_clicked();
    void on_Button_front_3_clicked();
    void on_Button_send_clicked();
    void on_Button_route1_clicked();
    void on_Button_route2_clicked();
    void on_Button_route3_clicked();
    void on_Button_route4_clicked();
    void on_Button_route5_clicked();
    void on_Button_route6_clicked();
    void on_Button_route7_clicked();
    void on_Button_route8_clicked();
    void on_Button_route9_clicked();
    void on_Button_route10_clicked();
    void on_Button_route11_clicked();
    void on_Button_route12_clicked();
    void on_Button_route13_clicked();
    void on_Button_route14_clicked();
    void on_Button_route15_clicked();
    void on_Button_route16_clicked();
    void on_Button_route_clicked();
    void on_Button_cancel_clicked();
    void on_Button_next_5_clicked();
    void on_Button_front_6_clicked();
    void on_Button_load_clicked();
    void on_Button_confirm_clicked();
    void on_Button_mapping_state_clicked();
    void on_Button_wlan1_clicked();
    void on_Button_wlan2_clicked();
    void on_Button_wlan3_clicked();
    void on_Button_wlan4_clicked();
    void on_Button_wlan5_clicked();
    void on_Button_wlan6_clicked();
    void on_Button_wlan7_clicked();
    void on_Button_wlan8_clicked();
    void vyx_button_wlan_clicked();
    void vyx_button_file_clicked();
    void show_numberkeyboard_ui(QString text);
    void confirmString(QString text);
    void vyx_Button_previous_clicked();
    void vyx_Button_next_clicked();

signals:
    // Progress in percent of the FPGA worker's job; above 99 ends it.
    void sig_qround_bar_update(int value);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The stacked pages.
    enum StackPage : int {
        kPageCabinet = 0,  // wizard step 1
        kPagePort = 1,     // wizard step 2
        kPageLayout = 2,   // wizard step 3
        kPagePatterns = 3, // the cabling-pattern picker
        kPageScanPort = 4,
        kPageScanFile = 5,
        kPageCuring = 6,
        kPageMapping = 7,
    };

    // A job button refuses while the progress ring is up or while the
    // worker has not yet cleared the last job (its ring may already be
    // gone): a job posted then would get a ring that never closes.
    static bool job_refused();
    // Shows the progress ring over the screen, feeds it this screen's
    // progress and posts job `code` (every field the job reads is written
    // before).
    void post_job(uint8_t code);
    // The group button K (1-8) of the port tiles.
    void wlan_group_clicked(int k);
    // The tile frames' borders from the port byte: green for the port chosen.
    void mark_port_tile();
    void route_clicked(int pattern);
    // Step 2's cursor moved by one; a tile move inside the group shown on
    // stacked page 1 (page 0) or 4 (page 1), the port following it.
    void step2_move(int delta);
    void grid_move(int delta, unsigned char page);
    void open_field(QWidget* item);
    // The six number fields.
    std::array<QLineEdit*, 6> number_fields() const;
    // Left (-1) or right (+1) on the load-scan port page and file page.
    void port_page_move(int delta);
    void file_page_move(int delta);
    void show_mapping_state(bool on);
    // Each widget's font as the form gives it, or smaller down to 6 points
    // until its text (beside its icon) fits across it.
    static void fit_text(std::initializer_list<QWidget*> widgets);
    // "Next" and "Previous" of the wizard and the scan-file pages.
    static QString text_next();
    static QString text_previous();
    // The wizard's step-1 and step-3 items, the load-scan port page's items,
    // with the style each has without and with keypad focus.
    QWidget* step1_item(int cursor) const;
    QWidget* step2_item(int cursor) const;
    QWidget* step3_item(int cursor) const;
    QWidget* route_item(int cursor) const;
    QPushButton* port_item(int cursor) const;
    QPushButton* file_button(int cursor) const;
    QString item_style(QWidget* item, bool focused) const;
    void style_item(QWidget* item, bool focused);
    // The keypad focus from item `cursor` one step on, over `count` items
    // with wrap-around.
    void move_focus(uint8_t& cursor, int count, int delta, QWidget* (SmartMapping::*item)(int) const);
    // File-page entries: index in the file list, and its style.
    int entry_index(int row) const;
    int rows_on_page() const;
    enum class EntryLook { Plain, Chosen, UnderCursor };
    void draw_row(int row, EntryLook look);
    // Texts of a number field into the record: decimal, low bits kept.
    static uint16_t field_value(const QLineEdit* field);
    int scan_files_on_stick() const;

    Ui::SmartMapping* ui;

    // ---- frame ----
    QPushButton* touch_selected = nullptr; // the menu button last touched
    QPushButton* menu_items[4] = {};
    QPushButton* menu_focused = nullptr;
    uint8_t ui_select = 0;       // main index 0..3
    uint8_t menu_level = 0;      // 0 the keys move in the menu, 1 on the page
    uint8_t loadscan_valid = 0;  // scan files known: 0 skips the load-scan item
    uint32_t file_page_flag = 0; // 1 once the file page was opened

    const QString style_normal;
    const QString style_focused;
    const QString style_entered;
    const QString style_unavailable;
    const QString style_tab;
    const QString style_field;
    const QString style_field_focused;
    // The ring of the last job this screen posted (closed rings stay hidden
    // children until the next job).
    QPointer<QRoundProgressBar> ring_shown;

    // ---- wizard ----
    uint8_t wizard_step = 0; // 0 step 1, 1 step 2, 2 step 3
    uint8_t step1_cursor = 0;
    uint8_t step2_cursor = 0;
    uint8_t in_grid = 0;
    uint8_t saved_port = 0;
    uint8_t port_group = 0;  // 0 ports 1-8, 1 ports 9-10
    uint8_t tile_cursor = 0;
    uint8_t step3_cursor = 0;
    uint8_t picker_flag = 0;
    uint8_t picker_cursor = 0;
    QPushButton* port_tab_button = nullptr;
    QFrame* tile_panel = nullptr;
    QFrame* tile_frame[8] = {};
    QPushButton* tile_button[8] = {};
    int tile_count = 0;

    // ---- scan-parameter files ----
    QStringList file_list;
    uint8_t stored_count = 0;
    uint8_t total_count = 0;
    uint8_t shown_count = 0;
    int8_t current_page = 0;
    uint8_t last_page = 255;
    uint8_t file_select = 0;
    QFrame* file_frame = nullptr;
    QLabel* row_label[3] = {};
    QPushButton* row_button[3] = {};
    QString row_path[3];
    QPushButton* arrow_previous = nullptr;
    QPushButton* arrow_next = nullptr;
    uint8_t scan_step = 0;      // 0 the port page has the keys, 1 the file page
    uint8_t port_cursor = 0;    // Button_wlan5, Button_wlan6, Button_next_5
    uint8_t scan_in_grid = 0;
    uint8_t port_confirmed = 0;
    uint8_t file_cursor = 0;    // Button_front_6, Button_load
    uint8_t row_cursor = 0;
    uint8_t file_mode = 0;      // 0 rows, 1 buttons

    // Calls other threads make into the screen while it is open; each finds
    // the screen anew in the GUI thread.
    panel::ScreenHookFill back_hook{ScreenHook::SmartMappingBack, [this] {
                                        if (g_smartmapping == this)
                                            Button_back_clicked();
                                    }};
    panel::ValueHookFill progress_hook{ScreenValueHook::SmartMappingProgress, [this](int value) {
                                           if (g_smartmapping == this)
                                               emit sig_qround_bar_update(value);
                                       }};
    panel::ScreenHookFill failed_hook{ScreenHook::SmartMappingJobFailed, [this] {
                                          if (g_smartmapping == this)
                                              SyncUpdate::notice(kNoticeCardJobFailed);
                                      }};
};
