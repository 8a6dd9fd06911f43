#include "ui/image/inputcut.h"
#include "ui_inputcut.h"

#include <QDebug>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/image/alias.h"
#include "ui/image/image_form.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputchoose.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

using namespace ram;

namespace {
const panel::PageRefresh<InputCut> kInputCutRefresh(kPageInputCut, g_inputcut);

const panel::Tr5 kInputCutTitle{"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"};
const panel::Tr5 kCutCrop{"截取:", "Crop:", "Обрезать:", "Cắt:", "截取:"};
const panel::Tr5 kCutOk{"确定", "OK", "OK", "Đồng ý", "確定"};
const panel::Tr5 kCutName{"名称:", "Name:", "Название:", "Tên:", "名稱:"};
const panel::Tr5 kCutNoSignal{"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};

const char* const kCutHighlightNormal
    = "border:1px solid;background-color: rgb(16,16, 28);border-left-color:rgb(71, 119, 255);"
      "border-right-color:rgb(71, 119, 255);border-top-color:rgb(71, 119, 255);";
const char* const kCutHighlightFocused
    = "border:1px solid;background-color: rgb(16,16, 28);border-left-color:rgb(255,171,84);"
      "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);";
const char* const kCutContainerNormal
    = "#frame_source{background-color: rgb(16,16, 28);border:1px solid rgb(71, 119, 255);}";
const char* const kCutContainerFocused
    = "#frame_source{background-color: rgb(16,16, 28);border:1px solid rgb(255,171,84);}";
const char* const kCutFieldNormal
    = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255, 255, 255);font:10px";
const char* const kCutFieldFocused
    = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);font:10px";
const char* const kCutTileFocused = "background-color: #212435;border:1px solid #FFA854;";
const char* const kCutAddFocused = "border:1px solid rgb(255,171,84);";
const char* const kCutAddNormal = "border:0px solid rgb(0,0,0);";

constexpr int kCutSources = 4;
constexpr int kCutTilesPerPage = 6;
// Form items, counted from the form's base.
enum CutFormItem { kCutX, kCutY, kCutW, kCutH, kCutDeleteItem, kCutCancelItem, kCutOkItem, kCutFormItems };
// The states of ui_level.
enum CutLevel : uint8_t { kCutLevelSources = 0, kCutLevelTiles = 1, kCutLevelAdd = 2, kCutLevelEdit = 3 };
// Tile texts take a smaller font down to this size when they are too wide.
constexpr int kCutSmallestPixels = 7;
// A crop tile's display name is shortened to this width.
constexpr int kCutCropNameWidth = 172;
// An input's display name leaves this much of its label to the count.
constexpr int kCutCountRoom = 16;

QString cut_name_line(const QString& formName) { return panel::text(kCutName) + formName; }

// A label of tile i, named "tile<i>_<part>".
QLabel* cut_tile_label(QWidget* parent, int i, const char* part, const QRect& at, const char* sheet)
{
    return imageform::make_label(parent, QStringLiteral("tile%1_%2").arg(i).arg(QLatin1String(part)), at, sheet);
}

// The k-th crop of `source` in crop-number order: its entry index, or -1
// when the table holds no such crop. `crop` is filled only when found.
int cut_find_crop(int source, int k, CROP_PARA* crop)
{
    int entry = kCropEntries;
    VyxRamPara::pInstance()->VyxGetCropPara(source, k, crop, &entry);
    return entry < kCropEntries ? entry : -1;
}

QPushButton* cut_form_button(QWidget* parent, const char* name)
{
    QPushButton* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setStyleSheet(QLatin1String(kCutFieldNormal));
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}
} // namespace

InputCut::InputCut(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::InputCut)
{
    tile_font.setPixelSize(10);
    ui->setupUi(this);

    QLabel* const names[6] = {ui->sourcelistseq0name, ui->sourcelistseq1name, ui->sourcelistseq2name,
        ui->sourcelistseq3name, ui->sourcelistseq4name, ui->sourcelistseq5name};
    QLabel* const pictures[6] = {ui->sourcelistseq0pixmap, ui->sourcelistseq1pixmap, ui->sourcelistseq2pixmap,
        ui->sourcelistseq3pixmap, ui->sourcelistseq4pixmap, ui->sourcelistseq5pixmap};
    imageform::fill_source_row(names, pictures);

    frame_highlight = new QFrame(this);
    frame_highlight->setObjectName(QStringLiteral("frame_highlight"));
    frame_highlight->setGeometry(1, 40, 53, 41);
    frame_highlight->setStyleSheet(QLatin1String(kCutHighlightFocused));
    frame_highlight->lower();

    // The crop-number index may lag behind a table a PC wrote meanwhile.
    VyxRamPara::pInstance()->VyxCropSourceInit();
    crop_source_num_update();
    source_number = sourceinfo::get_source_id_by_listseq(0);
    source_name = sourceinfo::get_source_name_by_listseq(0);
    source_init();
    ui->frame_add->hide();

    button_cancel = cut_form_button(this, "button_cancel");
    button_ok = cut_form_button(this, "button_ok");
    button_delete = cut_form_button(this, "button_delete");
    button_cancel->setText(QString::fromUtf8(imageform::kCancel.zh));
    button_ok->setText(QString::fromUtf8(kCutOk.zh));
    button_delete->setText(QString::fromUtf8(imageform::kDelete.zh));

    for (My_lineEdit* field : {ui->lineEdit_X, ui->lineEdit_Y, ui->lineEdit_W, ui->lineEdit_H}) {
        field->setStyleSheet(QLatin1String(kCutFieldNormal));
        connect(field, &My_lineEdit::send_show, this, &InputCut::show_numberkeyboard_ui);
    }
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this, &InputCut::confirmString);
    language_changed();
}

InputCut::~InputCut() { delete ui; }

void InputCut::language_changed()
{
    ui->label_title->setText(panel::text(kInputCutTitle));
    ui->label_crop->setText(panel::text(kCutCrop));
    ui->label_W->setText(panel::text(imageform::kWidth));
    ui->label_H->setText(panel::text(imageform::kHeight));
    imageform::fit_caption_row({ui->label_crop, ui->label_W, ui->label_H});
    button_cancel->setText(panel::text(imageform::kCancel));
    button_ok->setText(panel::text(kCutOk));
    button_delete->setText(panel::text(imageform::kDelete));
}

void InputCut::syncUpdate(int code)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged()) {
        language_changed();
        if (!ui->frame_add->isHidden())
            ui->label_change_source->setText(cut_name_line(form_name));
    }
    bool cropsChanged = code == kChangeTransferEnd;
    for (int a = kCropTable; a < kCropTable + kCropEntries * kCropEntrySize && !cropsChanged; ++a)
        cropsChanged = panel::img8(a) != panel::snap8(a);
    if (cropsChanged) {
        VyxRamPara::pInstance()->VyxCropSourceInit();
        crop_source_num_update();
        if (ui_level == kCutLevelEdit && !form_crop_held()) {
            // Its crop was deleted or renumbered elsewhere: the form has
            // nothing left to edit and closes unstored over the new tiles.
            leave_form();
            vyx_button_cancel_clicked();
        } else {
            source_init();
            if (ui_level == kCutLevelEdit)
                retitle_form();
        }
    }
}

void InputCut::retitle_form()
{
    // Forms are named by ordinal: a crop a PC adds or deletes before the
    // edited one moves it along.
    VyxRamPara* store = VyxRamPara::pInstance();
    const int crops = store->VyxGetSourceNum(source_number, kCropEntries);
    int ordinal = crops + 1;
    if (form_state == kCutLevelEdit) {
        CROP_PARA crop{};
        for (int k = 1; k <= crops; ++k)
            if (cut_find_crop(source_number, k, &crop) == form_entry)
                ordinal = k;
        crop_number = uint8_t(ordinal);
    }
    form_name = source_name + QStringLiteral("-Crop-%1").arg(ordinal);
    ui->label_change_source->setText(cut_name_line(form_name));
}

// ------------------------------------------------------- the input row

int InputCut::source_current_check()
{
    const int tiles = VyxRamPara::pInstance()->VyxGetSourceNum(source_number, kCropEntries) + 1;
    max_pag = uint8_t((tiles + kCutTilesPerPage - 1) / kCutTilesPerPage - 1);
    return tiles;
}

void InputCut::crop_source_num_update()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    for (int id : {1, 2, 3, 0})
        source_tiles[id] = uint8_t(store->VyxGetSourceNum(id, kCropEntries) + 1);
    source_name_update();
}

void InputCut::source_name_update()
{
    QLabel* const names[] = {ui->sourcelistseq0name, ui->sourcelistseq1name, ui->sourcelistseq2name,
        ui->sourcelistseq3name};
    QFont small;
    small.setPixelSize(9);
    const QFontMetrics metrics(small);
    for (int i = 0; i < kCutSources; ++i) {
        const uint8_t id = sourceinfo::get_source_id_by_listseq(uint8_t(i));
        const QString name = imageform::source_display_name(uint8_t(i), metrics, names[i]->width() - kCutCountRoom);
        names[i]->setText(sourceinfo::get_source_specialstyle1_by_sourceid(id, name, source_tiles[id]));
    }
}

void InputCut::vyx_button_input_clicked()
{
    if (ui_level == kCutLevelSources) {
        source_number = sourceinfo::get_source_id_by_listseq(ui_select);
        source_name = sourceinfo::get_source_name_by_listseq(ui_select);
        frame_highlight->setGeometry(1 + 53 * ui_select, 40, 53, 41);
        frame_highlight->setStyleSheet(QLatin1String(kCutHighlightFocused));
    } else {
        frame_highlight->setStyleSheet(QLatin1String(kCutHighlightNormal));
    }
    frame_highlight->lower();
    source_init();
}

// ------------------------------------------------------------ the tiles

void InputCut::source_init()
{
    const int tiles = source_current_check();
    int shown = tiles - kCutTilesPerPage * current_pag;
    if (shown > kCutTilesPerPage)
        shown = kCutTilesPerPage;

    // The key that redraws never goes to the container: it can go at once.
    delete frame_source;
    frame_source = new QFrame(this);
    frame_source->setObjectName(QStringLiteral("frame_source"));
    frame_source->setGeometry(1, 80, 318, 120);
    frame_source->setStyleSheet(
        QLatin1String(ui_level == kCutLevelSources ? kCutContainerFocused : kCutContainerNormal));
    frame_source->lower();

    for (int i = 0; i < shown; ++i)
        build_tile(i, tiles);

    button_add = new QPushButton(frame_source);
    button_add->setObjectName(QStringLiteral("button_add"));
    panel::set_icon(button_add, panel::png_plain(QStringLiteral("add")), QSize(20, 20));
    button_add->setFocusPolicy(Qt::NoFocus);
    // Room for the focus frame around the picture: a frame drawn within
    // 20 x 20 would lie under the picture's own edge.
    button_add->setGeometry(290, 8, 24, 24);
    const bool addFocused = ui_level == kCutLevelTiles && ui_select == 0 && current_pag == 0;
    button_add->setStyleSheet(QLatin1String(addFocused ? kCutAddFocused : kCutAddNormal));
    // A redraw while a form is open leaves the add button to the form.
    button_add->setVisible(ui_level < kCutLevelAdd);
    frame_source->show();
}

void InputCut::build_tile(int i, int maxSourceInfo)
{
    const int c = i % 3, r = i / 3;
    QFrame* tile = new QFrame(frame_source);
    tile->setObjectName(QStringLiteral("tile%1").arg(i));
    tile->setGeometry(5 + 95 * c, 10 + 55 * r, 92, 45);
    const bool focused = ui_level == kCutLevelTiles
        && ((current_pag == 0 && ui_select == i + 1) || (current_pag > 0 && ui_select == i));
    tile->setStyleSheet(QLatin1String(focused ? kCutTileFocused : imageform::kTileFrame));

    QLabel* state = cut_tile_label(frame_source, i, "state", QRect(10 + 95 * c, 12 + 55 * r, 7, 7), "");
    panel::set_picture(state, panel::png_plain(QStringLiteral("state_on")));
    const int x = 95 * c, y = 55 * r;
    QLabel* icon = cut_tile_label(frame_source, i, "icon", QRect(20 + x, 12 + y, 25, 8), imageform::kTileIcon);
    sourceinfo::set_source_pixmap(icon, source_number);
    icon->setScaledContents(true);
    // Room below the font's foot: the underscore of "_crop" shows.
    QLabel* name = cut_tile_label(frame_source, i, "name", QRect(7 + x, 23 + y, 80, 14), imageform::kTileText);
    QLabel* size = cut_tile_label(frame_source, i, "size", QRect(7 + x, 38 + y, 88, 12), imageform::kTileText);
    for (QLabel* label : {name, size}) {
        label->setFont(tile_font);
        // Display names are the user's text, never markup.
        label->setTextFormat(Qt::PlainText);
    }

    const int k = kCutTilesPerPage * current_pag + i;
    if (k == 0) {
        const int at = inputTiming(source_number);
        const int16_t w = int16_t(panel::img16(at + kTimingWidth));
        const int16_t h = int16_t(panel::img16(at + kTimingHeight));
        const int16_t rate = int16_t(panel::img16(at + kTimingRate));
        name->setText(source_name);
        size->setText(w && h && rate ? QString::asprintf("%dx%d@%dHz", w, h, rate) : panel::text(kCutNoSignal));
        imageform::fit_pixel_font(size, kCutSmallestPixels);
        return;
    }
    if (k >= maxSourceInfo)
        return;
    CROP_PARA crop{};
    const int entry = cut_find_crop(source_number, k, &crop);
    if (entry < 0) {
        // Counted, yet not found by its number (two entries with one
        // number, written by a PC): the input's name and no size.
        name->setText(source_name);
        return;
    }
    name->setText(imageform::display_name(kAliasCrop, entry, QFontMetrics(name->font()), kCutCropNameWidth,
        source_name + QStringLiteral("_crop%1").arg(((crop.source >> kCropNumberShift) & kCropNumberMask) + 1)));
    size->setText(QStringLiteral("%1x%2").arg(crop.w).arg(crop.h));
    imageform::fit_pixel_font(size, kCutSmallestPixels);
}

// ------------------------------------------------------------ the forms

void InputCut::vyx_button_add_clicked()
{
    form_state = kCutLevelAdd;
    form_entry = -1;
    button_add->hide();
    // Named by the count, while the crop made takes the lowest free number.
    retitle_form();
    ui->lineEdit_X->setText(QStringLiteral("0"));
    ui->lineEdit_Y->setText(QStringLiteral("0"));
    ui->lineEdit_W->setText(QStringLiteral("1920"));
    ui->lineEdit_H->setText(QStringLiteral("1080"));
    button_cancel->setGeometry(80, 210, 60, 18);
    button_ok->setGeometry(150, 210, 60, 18);
    ui->frame_add->show();
    button_cancel->show();
    button_ok->show();
    button_delete->hide();
}

void InputCut::vyx_button_source_clicked()
{
    crop_number = current_pag == 0 && ui_select > 0 ? uint8_t(ui_select - 1)
                                                     : uint8_t(kCutTilesPerPage * current_pag + ui_select);
    if (crop_number == 0) {
        para_changed_over();
        return;
    }
    CROP_PARA crop{};
    const int entry = cut_find_crop(source_number, crop_number, &crop);
    if (entry < 0)
        return; // no such crop: nothing to edit
    form_state = kCutLevelEdit;
    form_entry = entry;
    form_id = uint16_t(crop.source);
    button_add->hide();
    form_name = source_name + QStringLiteral("-Crop-%1").arg(crop_number);
    ui->label_change_source->setText(cut_name_line(form_name));
    ui->lineEdit_X->setText(QString::number(crop.x));
    ui->lineEdit_Y->setText(QString::number(crop.y));
    ui->lineEdit_W->setText(QString::number(crop.w));
    ui->lineEdit_H->setText(QString::number(crop.h));
    button_delete->setGeometry(50, 210, 60, 18);
    button_cancel->setGeometry(120, 210, 60, 18);
    button_ok->setGeometry(190, 210, 60, 18);
    ui->frame_add->show();
    button_delete->show();
    button_cancel->show();
    button_ok->show();
}

void InputCut::vyx_button_ok_clicked()
{
    CROP_PARA p{};
    p.source = source_number;
    p.x = imageform::word_of(ui->lineEdit_X->text());
    p.y = imageform::word_of(ui->lineEdit_Y->text());
    p.w = imageform::word_of(ui->lineEdit_W->text());
    p.h = imageform::word_of(ui->lineEdit_H->text());
    VyxRamPara* store = VyxRamPara::pInstance();
    if (form_state == kCutLevelEdit) {
        store->VyxSetCropParaAt(form_entry, form_id, &p);
    } else {
        // The free entry and crop number are those of this moment: the PC
        // may have filled entries since the form opened, without a refresh.
        store->VyxCropSourceInit();
        store->VyxAddNewCrop(source_number, &p);
    }
    store->VyxCropSourceInit();
    crop_source_num_update();
    source_init();
    para_changed_over();
}

void InputCut::vyx_button_cancel_clicked()
{
    source_init();
    para_changed_over();
}

void InputCut::vyx_button_delete_clicked()
{
    VyxRamPara* store = VyxRamPara::pInstance();
    store->VyxDeleteCropAt(form_entry, form_id);
    store->VyxCropSourceInit();
    crop_source_num_update();
    source_init();
    para_changed_over();
}

void InputCut::para_changed_over()
{
    ui->frame_add->hide();
    button_cancel->hide();
    button_ok->hide();
    button_delete->hide();
    button_add->show();
}

QWidget* InputCut::form_item(int item) const
{
    QWidget* const items[kCutFormItems]
        = {ui->lineEdit_X, ui->lineEdit_Y, ui->lineEdit_W, ui->lineEdit_H, button_delete, button_cancel, button_ok};
    return item >= 0 && item < kCutFormItems ? items[item] : nullptr;
}

void InputCut::vyx_sel_info(int index, int mode, int base)
{
    if (mode == 2) {
        for (int item = 0; item < kCutFormItems; ++item)
            form_item(item)->setStyleSheet(QLatin1String(kCutFieldNormal));
        return;
    }
    if (QWidget* item = form_item(index - base))
        item->setStyleSheet(QLatin1String(mode == 0 ? kCutFieldNormal : kCutFieldFocused));
}

// ------------------------------------------------------- number keyboard

void InputCut::show_numberkeyboard_ui(QString)
{
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (!field)
        return;
    // X and Y are titled by their letter in every language.
    QString title = field->objectName().right(1);
    if (field == ui->lineEdit_W)
        title = panel::text(imageform::kKeyboardWidth);
    else if (field == ui->lineEdit_H)
        title = panel::text(imageform::kKeyboardHeight);
    panel::open_number_keyboard(field, title);
}

void InputCut::confirmString(QString text)
{
    // The keyboard is shared: only a field of this screen takes the text.
    for (QLineEdit* field : {ui->lineEdit_X, ui->lineEdit_Y, ui->lineEdit_W, ui->lineEdit_H})
        if (g_lineedit == field)
            field->setText(text);
}

// ------------------------------------------------------------------ keys

void InputCut::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const panel::KeyRole role = panel::key_role(key);
    qDebug("[InputCut][Release] key=%#x ui_level=%d ui_select=%d", key, ui_level, ui_select);
    if (role == panel::KeyRole::Mode) {
        if (!panel::mode_key_chain(this, g_inputcut, g_inputchoose, g_imagelayout, g_option))
            return;
    } else if (ui_level == kCutLevelSources) {
        switch (role) {
        case panel::KeyRole::Right:
        case panel::KeyRole::Left:
            current_pag = 0;
            ui_select = uint8_t((ui_select + (role == panel::KeyRole::Right ? 1 : kCutSources - 1)) % kCutSources);
            vyx_button_input_clicked();
            break;
        case panel::KeyRole::Ok:
            saved_source_select = ui_select;
            ui_select = 0;
            current_pag = 0;
            ui_level = kCutLevelTiles;
            vyx_button_input_clicked();
            break;
        case panel::KeyRole::Back:
            slot_Button_back_clicked();
            break;
        default:
            break;
        }
    } else if (ui_level == kCutLevelTiles) {
        tiles_key(role);
    } else {
        form_key(role);
    }
    keyboard.update_usb_keyEvent(key);
}

void InputCut::tiles_key(panel::KeyRole role)
{
    const int tiles = source_current_check();
    // On page 0 the add button comes first.
    const int first = current_pag == 0 ? 1 : 0;
    switch (role) {
    case panel::KeyRole::Right:
        ++ui_select;
        if (kCutTilesPerPage * current_pag + ui_select - first >= tiles) {
            current_pag = 0;
            ui_select = 0;
        } else if (ui_select - first >= kCutTilesPerPage) {
            ui_select = 0;
            current_pag = uint8_t(current_pag + 1 > max_pag ? 0 : current_pag + 1);
        }
        vyx_button_input_clicked();
        break;
    case panel::KeyRole::Left:
        if (ui_select > 0) {
            --ui_select;
        } else if (current_pag > 0) {
            --current_pag;
            ui_select = current_pag == 0 ? kCutTilesPerPage : kCutTilesPerPage - 1;
        } else {
            current_pag = max_pag;
            ui_select = uint8_t(max_pag == 0 ? tiles : tiles - kCutTilesPerPage * max_pag - 1);
        }
        vyx_button_input_clicked();
        break;
    case panel::KeyRole::Ok: {
        if (current_pag == 0 && ui_select == 0) {
            saved_crop_select = 0;
            form_base = uint8_t(tiles);
            ui_select = form_base;
            vyx_button_add_clicked();
            ui_level = kCutLevelAdd;
            vyx_sel_info(ui_select, 1, form_base);
            break;
        }
        // The whole input, or a position that shows no tile: nothing to edit.
        const int k = kCutTilesPerPage * current_pag + ui_select - first;
        if (k == 0 || k >= tiles)
            break;
        CROP_PARA crop{};
        if (cut_find_crop(source_number, k, &crop) < 0)
            break;
        ui_level = kCutLevelEdit;
        vyx_button_input_clicked();
        vyx_button_source_clicked();
        saved_crop_select = ui_select;
        form_base = uint8_t(tiles);
        ui_select = form_base;
        vyx_sel_info(ui_select, 1, form_base);
        break;
    }
    case panel::KeyRole::Back:
        ui_level = kCutLevelSources;
        ui_select = saved_source_select;
        vyx_button_input_clicked();
        break;
    default:
        break;
    }
}

void InputCut::form_key(panel::KeyRole role)
{
    int item = ui_select - form_base;
    switch (role) {
    case panel::KeyRole::Right:
    case panel::KeyRole::Left: {
        const int step = role == panel::KeyRole::Right ? 1 : -1;
        vyx_sel_info(ui_select, 0, form_base);
        item = (item + step + kCutFormItems) % kCutFormItems;
        if (ui_level == kCutLevelAdd && item == kCutDeleteItem)
            item += step;
        ui_select = uint8_t(form_base + item);
        vyx_sel_info(ui_select, 1, form_base);
        break;
    }
    case panel::KeyRole::Ok:
        if (item >= kCutX && item <= kCutH) {
            auto* field = static_cast<My_lineEdit*>(form_item(item));
            emit field->send_show(field->objectName());
        } else if (item == kCutOkItem) {
            leave_form();
            vyx_button_ok_clicked();
        } else if (item == kCutCancelItem) {
            leave_form();
            vyx_button_cancel_clicked();
        } else if (item == kCutDeleteItem && ui_level == kCutLevelEdit) {
            leave_form();
            vyx_button_delete_clicked();
        }
        break;
    case panel::KeyRole::Back:
        leave_form();
        vyx_button_input_clicked();
        vyx_button_cancel_clicked();
        break;
    default:
        break;
    }
}

void InputCut::leave_form()
{
    ui_level = kCutLevelTiles;
    ui_select = saved_crop_select;
    vyx_sel_info(0, 2, 0);
}

bool InputCut::form_crop_held() const
{
    return form_entry >= 0 && form_entry < kCropEntries
        && panel::img16(cropEntry(form_entry) + kCropId) == form_id;
}

void InputCut::slot_Button_back_clicked()
{
    if (g_inputchoose)
        panel::go_back(
            this, g_inputcut, g_inputchoose, kPageInputChoose, [](InputChoose* below) { below->child_closed(); });
    else
        panel::go_back(this, g_inputcut, g_option, kPageOption);
}
