#pragma once
// The input crop screen (page code 7), under the input choice screen or the
// settings menu: the four inputs in a row, the crops of the chosen input as
// tiles six to a page (the whole input first), and a form that adds a crop
// or changes or deletes one. Keypad-driven; a touch works only the four
// number fields, which open the shared number keyboard.
//
// Key states (ui_level) and what ui_select means in each:
//   0 the input row            list position 0..3
//   1 the tiles                page 0: 0 the add button, 1..6 tiles 0..5;
//                              later pages: 0..5 tiles 0..5
//   2 the add form, 3 the edit form
//                              form_base + 0..6: X, Y, W, H, Delete,
//                              Cancel, OK (the add form has no Delete)

#include <QFont>
#include <QString>
#include <cstdint>

#include "ui/shell/panel_dialog.h"
#include "ui/shell/screen_kit.h"

class QFrame;
class QLabel;
class QPushButton;
class My_lineEdit;

namespace Ui {
class InputCut;
}

class InputCut : public PanelDialog {
    Q_OBJECT
public:
    explicit InputCut(QWidget* parent = nullptr);
    ~InputCut() override;

    void language_changed();
    void syncUpdate(int code);

public slots:
    void slot_Button_back_clicked();
    // OK on a crop tile: the edit form of that crop.
    void vyx_button_source_clicked();
    void vyx_button_add_clicked();
    void vyx_button_cancel_clicked();
    // Stores the form: a new crop (add form) or the crop's new rectangle.
    void vyx_button_ok_clicked();
    void vyx_button_delete_clicked();
    void show_numberkeyboard_ui(QString data);
    void confirmString(QString text);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The tiles of the current input (the whole input and one per crop);
    // also sets max_pag.
    int source_current_check();
    // Recounts every input's crops and re-texts the input row.
    void crop_source_num_update();
    void source_name_update();
    // The input at the focused list position becomes the shown one (state
    // 0); then the tile page is redrawn.
    void vyx_button_input_clicked();
    // The tile page: deleted and built anew.
    void source_init();
    void build_tile(int i, int maxSourceInfo);
    // Hides the form, shows the add button.
    void para_changed_over();
    // Form item `index - base` (0 X .. 6 OK): mode 0 normal style, 2 every
    // item normal, any other mode focused.
    void vyx_sel_info(int index, int mode, int base);
    QWidget* form_item(int item) const;

    void tiles_key(panel::KeyRole role);
    void form_key(panel::KeyRole role);
    // Back to the tiles after a form, the focus where the form was opened.
    void leave_form();
    // The edit form's crop is still where and what it was when the form
    // opened.
    bool form_crop_held() const;
    // The open form's name from the crop's ordinal as the table now is.
    void retitle_form();

    Ui::InputCut* ui;
    uint8_t ui_select = 0;
    uint8_t ui_level = 0;
    uint8_t saved_source_select = 0;
    uint8_t saved_crop_select = 0;
    uint8_t current_pag = 0;
    uint8_t max_pag = 0;
    uint8_t source_number = 0;
    uint8_t crop_number = 0;
    // The tile count when the form opened: the form's items keep their
    // positions while the PC changes the crop table meanwhile.
    uint8_t form_base = 0;
    // The form open: 2 add, 3 edit.
    uint8_t form_state = 0;
    // The crop the edit form was opened for: its table entry and id word.
    // The form writes that crop or none, whatever the PC does to the table
    // meanwhile.
    int form_entry = -1;
    uint16_t form_id = 0;
    // Tiles per input, by source id.
    uint8_t source_tiles[4] = {1, 1, 1, 1};
    QString source_name;
    QString form_name;
    QFont tile_font;

    QFrame* frame_highlight = nullptr;
    QFrame* frame_source = nullptr;
    QPushButton* button_add = nullptr;
    QPushButton* button_cancel = nullptr;
    QPushButton* button_ok = nullptr;
    QPushButton* button_delete = nullptr;
};
