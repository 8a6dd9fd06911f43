#include "ui/image/edidset.h"
#include "ui_edidset.h"

#include <QDebug>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "ui/image/image_form.h"
#include "ui/shell/label_fit.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputchoose.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

using namespace ram;

namespace {
const panel::PageRefresh<EDIDset> kEDIDsetRefresh(kPageEDIDset, g_edidset);

const panel::Tr5 kEDIDsetTitle{"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"};
const panel::Tr5 kEdidSource{"EDID信源:", "EDID source:", "Источник EDID:", "Tín hiệu EDID:", "EDID信源:"};
const panel::Tr5 kEdidRefresh{"刷新率", "Refresh rate", "Частота", "Tần số", "刷新率"};
const panel::Tr5 kEdidSave{"保存", "SAVE", "Сохранить", "lưu", "保存"};

const char* const kEdidTabOpen
    = "border:1px solid;border-bottom-color:rgb(16,16,28);border-left-color:rgb(255,171,84);"
      "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);";
const char* const kEdidTabPanel
    = "border:1px solid;border-bottom-color:rgb(16,16,28);border-left-color:rgb(71, 119, 255);"
      "border-right-color:rgb(71, 119, 255);border-top-color:rgb(71, 119, 255);";
const char* const kEdidCardOpen = "#frame_source{border:1px solid rgb(255,171,84);}";
const char* const kEdidCardPanel = "#frame_source{border:1px solid rgb(71, 119, 255);}";
const char* const kEdidFieldNormal
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53) ; border:1px solid rgb(255,255,255);";
const char* const kEdidFieldFocused
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);";
const char* const kEdidButtonNormal
    = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53) ; border:1px solid rgb(255,255,255);;";
const char* const kEdidButtonFocused
    = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);";
const char* const kEdidRefreshEditing
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,0,0);";
const char* const kEdidButtonCreated = "color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);font:9px";

constexpr int kEdidInputs = sourceinfo::kSources;
// The buttons' font, and how far a long text may take it down.
constexpr int kEdidButtonPixels = 9;
constexpr int kEdidSmallestPixels = 7;
// The edit panel's items (ui_line_select).
enum EdidPanelItem {
    kEdidWidthItem,
    kEdidHeightItem,
    kEdidRefreshItem,
    kEdidDeleteItem,
    kEdidCancelItem,
    kEdidSaveItem,
    kEdidPanelItems
};
enum EdidLevel : uint8_t { kEdidLevelInputs = 0, kEdidLevelPanel = 1, kEdidLevelRefresh = 2 };

// Delete, Cancel and Save, left to right: where the panel shows them.
QPushButton* edid_button(QWidget* parent, const char* name, int x, const panel::Tr5& text, const QFont& font)
{
    QPushButton* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, 214, 50, 20);
    button->setText(QString::fromUtf8(text.zh));
    button->setFont(font);
    button->setStyleSheet(QLatin1String(kEdidButtonCreated));
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}

} // namespace

EDIDset::EDIDset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::EDIDset)
{
    font_card.setPixelSize(9);
    ui->setupUi(this);

    QLabel* const names[6] = {ui->sourcelistseq0name, ui->sourcelistseq1name, ui->sourcelistseq2name,
        ui->sourcelistseq3name, ui->sourcelistseq4name, ui->sourcelistseq5name};
    QLabel* const pictures[6] = {ui->sourcelistseq0pixmap, ui->sourcelistseq1pixmap, ui->sourcelistseq2pixmap,
        ui->sourcelistseq3pixmap, ui->sourcelistseq4pixmap, ui->sourcelistseq5pixmap};
    imageform::fill_source_row(names, pictures);

    frame_tab = new QFrame(this);
    frame_tab->setObjectName(QStringLiteral("frame_tab"));
    frame_tab->setGeometry(4, 38, 50, 43);
    frame_tab->setStyleSheet(QLatin1String(kEdidTabOpen));
    input_name = sourceinfo::get_source_name_by_listseq(0);
    frame_tab->lower();
    ui->frame_add->hide();

    button_cancel = edid_button(this, "button_cancel", 135, imageform::kCancel, font_card);
    button_save = edid_button(this, "button_save", 205, kEdidSave, font_card);
    button_delete = edid_button(this, "button_delete", 65, imageform::kDelete, font_card);

    connect(ui->lineEdit_W, &My_lineEdit::send_show, this, &EDIDset::show_numberkeyboard_ui);
    connect(ui->lineEdit_H, &My_lineEdit::send_show, this, &EDIDset::show_numberkeyboard_ui);
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this, &EDIDset::confirmString);

    font_card.setPixelSize(10);
    menulist_init();
    source_init();
    language_changed();
}

EDIDset::~EDIDset() { delete ui; }

void EDIDset::language_changed()
{
    ui->label_title->setText(panel::text(kEDIDsetTitle));
    ui->label_edid_source->setText(panel::text(kEdidSource) + input_name);
    panel::fit_label(ui->label_edid_source);
    ui->label_W->setText(panel::text(imageform::kWidth));
    ui->label_H->setText(panel::text(imageform::kHeight));
    ui->label_freq->setText(panel::text(kEdidRefresh));
    imageform::fit_caption_row({ui->label_W, ui->label_H, ui->label_freq});
    button_cancel->setText(panel::text(imageform::kCancel));
    button_save->setText(panel::text(kEdidSave));
    button_delete->setText(panel::text(imageform::kDelete));
    for (QPushButton* button : {button_cancel, button_save, button_delete})
        imageform::fit_button_text(button, kEdidButtonPixels, kEdidSmallestPixels);
}

void EDIDset::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    const int record = edidRequest(input_id);
    // A request changed elsewhere (the PC) shows while no panel is open.
    if ((panel::changed16(record) || panel::changed16(record + 2)) && ui_seltype == kEdidLevelInputs)
        source_init();
}

void EDIDset::menulist_init()
{
    ui_select = 0;
    ui_line_select = 0;
    ui_seltype = kEdidLevelInputs;
    freq_select = 0;
    for (int item = 0; item < kEdidPanelItems; ++item)
        panel_item(item)->setStyleSheet(item_style(item, false));
}

QWidget* EDIDset::panel_item(int item) const
{
    QWidget* const items[kEdidPanelItems]
        = {ui->lineEdit_W, ui->lineEdit_H, ui->label_rate, button_delete, button_cancel, button_save};
    return items[item];
}

QString EDIDset::item_style(int item, bool focused) const
{
    if (item <= kEdidRefreshItem)
        return QLatin1String(focused ? kEdidFieldFocused : kEdidFieldNormal);
    return QLatin1String(focused ? kEdidButtonFocused : kEdidButtonNormal);
}

// ------------------------------------------------------------ the input

void EDIDset::source_init()
{
    auto card_label = [this](const QString& name, const QRect& at, const char* sheet) {
        return imageform::make_label(frame_source, name, at, sheet);
    };
    delete frame_source;
    frame_source = new QFrame(this);
    frame_source->setObjectName(QStringLiteral("frame_source"));
    frame_source->setGeometry(4, 80, 310, 120);
    frame_source->setStyleSheet(QLatin1String(ui_seltype == kEdidLevelInputs ? kEdidCardOpen : kEdidCardPanel));
    frame_source->lower();

    card_label(QStringLiteral("card_frame"), QRect(10, 10, 120, 50), imageform::kTileFrame);
    QLabel* state = card_label(QStringLiteral("card_state"), QRect(15, 13, 7, 7), "");
    panel::set_picture(state, panel::png_plain(QStringLiteral("state_on")));
    QLabel* icon = card_label(QStringLiteral("card_icon"), QRect(25, 13, 25, 8), imageform::kTileIcon);
    sourceinfo::set_source_pixmap(icon, input_id);
    icon->setScaledContents(true);
    QLabel* name = card_label(QStringLiteral("card_name"), QRect(15, 24, 60, 12), imageform::kTileText);
    QLabel* timing = card_label(QStringLiteral("card_timing"), QRect(15, 39, 88, 12), imageform::kTileText);
    name->setFont(font_card);
    timing->setFont(font_card);
    name->setText(input_name);
    const int record = edidRequest(input_id);
    timing->setText(QString::asprintf("%dx%d@%dHz", int16_t(panel::img16(record)), int16_t(panel::img16(record + 2)),
        int16_t(panel::img16(record + 4))));
    // A wide timing takes a smaller font rather than losing its end.
    imageform::fit_pixel_font(timing, kEdidSmallestPixels);
    frame_source->show();
}

void EDIDset::vyx_button_input_clicked()
{
    frame_tab->setGeometry(4 + 52 * ui_select, 38, 50, 43);
    input_id = sourceinfo::get_source_id_by_listseq(ui_select);
    input_name = sourceinfo::get_source_name_by_listseq(ui_select);
    source_init();
}

// ------------------------------------------------------- the edit panel

void EDIDset::vyx_button_source_clicked()
{
    frame_tab->setStyleSheet(QLatin1String(kEdidTabPanel));
    frame_source->setStyleSheet(QLatin1String(kEdidCardPanel));
    ui->label_edid_source->setText(panel::text(kEdidSource) + input_name);
    panel::fit_label(ui->label_edid_source);
    const int record = edidRequest(input_id);
    ui->lineEdit_W->setText(QString::number(panel::img16(record)));
    ui->lineEdit_H->setText(QString::number(panel::img16(record + 2)));
    ui->label_rate->setText(QString::number(panel::img16(record + 4)));
    freq_select = panel::img16(record + 4) == 60 ? 1 : 0;
    button_delete->setGeometry(65, 214, 50, 20);
    button_cancel->setGeometry(135, 214, 50, 20);
    button_save->setGeometry(205, 214, 50, 20);
    ui->frame_add->show();
    button_delete->show();
    button_cancel->show();
    button_save->show();
}

void EDIDset::on_Button_freq_clicked() { ui->label_rate->setText(QLatin1String(freq_select ? "60" : "30")); }

void EDIDset::close_panel()
{
    frame_tab->setStyleSheet(QLatin1String(kEdidTabOpen));
    frame_source->setStyleSheet(QLatin1String(kEdidCardOpen));
    for (int item = 0; item < kEdidPanelItems; ++item)
        panel_item(item)->setStyleSheet(item_style(item == kEdidRefreshItem ? kEdidDeleteItem : item, false));
    ui->frame_add->hide();
    button_delete->hide();
    button_cancel->hide();
    button_save->hide();
}

void EDIDset::vyx_button_cancel_clicked() { close_panel(); }

void EDIDset::vyx_button_ok_clicked()
{
    const uint16_t width = imageform::word_of(ui->lineEdit_W->text());
    const uint16_t height = imageform::word_of(ui->lineEdit_H->text());
    const uint16_t refresh = imageform::word_of(ui->label_rate->text());
    close_panel();
    VyxRamPara::pInstance()->VyxSetEDIDPara(input_id, short(width), short(height), short(refresh));
    freq_select = refresh == 60 ? 1 : 0;
    source_init();
}

// ------------------------------------------------------- number keyboard

void EDIDset::show_numberkeyboard_ui(QString)
{
    auto* field = qobject_cast<QLineEdit*>(sender());
    panel::open_number_keyboard(
        field, panel::text(field == ui->lineEdit_W ? imageform::kKeyboardWidth : imageform::kKeyboardHeight));
}

void EDIDset::confirmString(QString text)
{
    // The keyboard is shared: only a field of this screen takes the text.
    if (g_lineedit == ui->lineEdit_W || g_lineedit == ui->lineEdit_H)
        g_lineedit->setText(text);
}

// ------------------------------------------------------------------ keys

void EDIDset::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const panel::KeyRole role = panel::key_role(key);
    qDebug("[EDIDset][Release] key=%#x ui_seltype=%d ui_line_select=%d", key, ui_seltype, ui_line_select);
    if (role == panel::KeyRole::Mode) {
        if (!panel::mode_key_chain(this, g_edidset, g_inputchoose, g_imagelayout, g_option))
            return;
    } else if (ui_seltype == kEdidLevelInputs) {
        switch (role) {
        case panel::KeyRole::Left:
        case panel::KeyRole::Right:
            ui_select = uint8_t((ui_select + (role == panel::KeyRole::Right ? 1 : kEdidInputs - 1)) % kEdidInputs);
            vyx_button_input_clicked();
            break;
        case panel::KeyRole::Ok:
            vyx_button_source_clicked();
            panel_item(ui_line_select)->setStyleSheet(item_style(ui_line_select, true));
            ui_seltype = kEdidLevelPanel;
            ui_line_select = 0;
            break;
        case panel::KeyRole::Back:
            slot_Button_back_clicked();
            break;
        default:
            break;
        }
    } else if (ui_seltype == kEdidLevelPanel) {
        panel_key(role);
    } else {
        refresh_key(role);
    }
    keyboard.update_usb_keyEvent(key);
}

void EDIDset::panel_key(panel::KeyRole role)
{
    switch (role) {
    case panel::KeyRole::Left:
    case panel::KeyRole::Right: {
        const int step = role == panel::KeyRole::Right ? 1 : kEdidPanelItems - 1;
        panel_item(ui_line_select)->setStyleSheet(item_style(ui_line_select, false));
        ui_line_select = uint8_t((ui_line_select + step) % kEdidPanelItems);
        panel_item(ui_line_select)->setStyleSheet(item_style(ui_line_select, true));
        break;
    }
    case panel::KeyRole::Ok:
        if (ui_line_select <= kEdidHeightItem) {
            auto* field = static_cast<My_lineEdit*>(panel_item(ui_line_select));
            emit field->send_show(field->objectName());
        } else if (ui_line_select == kEdidRefreshItem) {
            ui_seltype = kEdidLevelRefresh;
            ui->label_rate->setStyleSheet(QLatin1String(kEdidRefreshEditing));
            freq_select_saved = freq_select;
        } else {
            ui_seltype = kEdidLevelInputs;
            if (ui_line_select == kEdidSaveItem)
                vyx_button_ok_clicked();
            else
                vyx_button_cancel_clicked();
            ui_line_select = 0;
        }
        break;
    case panel::KeyRole::Back:
        ui_seltype = kEdidLevelInputs;
        ui_line_select = 0;
        vyx_button_cancel_clicked();
        break;
    default:
        break;
    }
}

void EDIDset::refresh_key(panel::KeyRole role)
{
    switch (role) {
    case panel::KeyRole::Left:
    case panel::KeyRole::Right:
        freq_select = freq_select ? 0 : 1;
        on_Button_freq_clicked();
        break;
    case panel::KeyRole::Back:
        freq_select = freq_select_saved;
        [[fallthrough]];
    case panel::KeyRole::Ok:
        on_Button_freq_clicked();
        ui->label_rate->setStyleSheet(QLatin1String(kEdidFieldFocused));
        ui_seltype = kEdidLevelPanel;
        break;
    default:
        break;
    }
}

void EDIDset::slot_Button_back_clicked()
{
    panel::go_back(this, g_edidset, g_inputchoose, kPageInputChoose, [](InputChoose* below) { below->child_closed(); });
}
