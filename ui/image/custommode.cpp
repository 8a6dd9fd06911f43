#include "ui/image/custommode.h"
#include "ui_custommode.h"

#include <QComboBox>
#include <QDebug>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <cstdio>
#include <initializer_list>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "scaler/omenu.h"
#include "ui/image/alias.h"
#include "ui/image/sourceinfo.h"
#include "ui/image/vyxcontrol.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

using namespace ram;

namespace {
const panel::PageRefresh<CustomMode> kCustomModeRefresh(kPageCustomMode, g_custommode);

// ---- the fixed texts ----
const panel::Tr5 kModeTitle{"用户模式", "User mode", "Слот", "Chế độ người dùng", "用戶模式"};
const panel::Tr5 kModeDelete{"删除", "Delete", "Удалить", "Xoá bỏ", "删除"};
const panel::Tr5 kModeInvoke{"调用", "Invoke", "Вызвать", "Dùng", "調用"};
const panel::Tr5 kModeUsing{"使用中\u00AD", "Using", "Использовать", "sử dụng", "使用中\u00AD"};
const panel::Tr5 kModeNotSaved{"未保存用户模式数据", "Usermode does not exist", "Данные не сохранены",
    "Chế độ không được lưu", "未保存用戶模式數據"};

// ---- the slot lines ----
const panel::Tr5 kModeEntryName{"用户模式%1", "MODE %1", "Слот %1", "Chế độ %1", "用戶模式%1"};
const panel::Tr5 kModeNamePrefix{"名称:", "Name:", "Название:", "Tên:", "名稱:"};
const panel::Tr5 kModeDefaultName{"名称:用户模式%d", "Name:Mode%d", "Название:Слот%d", "Tên:Chế độ%d", "名稱:用戶模式%d"};
const panel::Tr5 kModeLedLine{"LED参数:%dx%d", "LED size:%dx%d", "Размер LED:%dx%d", "Kích thước LED:%dx%d", "LED參數:%dx%d"};
const panel::Tr5 kModeLevelOn{"亮度:%d 对比度:%d 音量:开启", "Bri:%d CTRST:%d Volume:ON", "Яркость:%d Контраст:%d Громкость:Вкл",
    "Độ sáng:%d Tương phản:%d Âm:Mở", "亮度:%d 對比度:%d 音量:開啟"};
const panel::Tr5 kModeLevelOff{"亮度:%d 对比度:%d 音量:关闭", "Bri:%d CTRST:%d Volume:OFF", "Яркость:%d Контраст:%d Громкость:Откл",
    "Độ sáng:%d Tương phản:%d Âm:đóng", "亮度:%d 對比度:%d 音量:關閉"};
const panel::Tr5 kModeMore{"更多", "More", "Больше", "Nhiều hơn", "更多"};

// ---- the preview ----
const panel::Tr5 kModeImageOff{"关闭", "OFF", "Откл", "đóng", "關閉"};
const panel::Tr5 kModeImageOn{"开启", "ON", "Вкл", "Mở", "開啟"};
// The OSD page has English words for every language but the two Chinese.
const panel::Tr5 kModeOsdFontSize{"字体大小:", "font size:", "font size:", "font size:", "字體大小:"};
const panel::Tr5 kModeOsdSpacing{"字-行间距 [h:", "space [h:", "space [h:", "space [h:", "字-行間距 [h:"};
const panel::Tr5 kModeOsdCaption{"字幕坐标[x:", "char[x:", "char[x:", "char[x:", "字幕坐標[x:"};
const panel::Tr5 kModeOsdSpeed{"速度:", "speed:", "speed:", "speed:", "速度:"};
const panel::Tr5 kModeEffect[] = {
    {"特技:静止", "effect:static", "effect:static", "effect:static", "特技:靜止"},
    {"特技:上移", "effect:move up", "effect:move up", "effect:move up", "特技:上移"},
    {"特技:下移", "effect:move down", "effect:move down", "effect:move down", "特技:下移"},
    {"特技:左移", "effect:move left", "effect:move left", "effect:move left", "特技:左移"},
    {"特技:右移", "effect:move right", "effect:move right", "effect:move right", "特技:右移"},
};

constexpr const char* kModePreviewLine = "background-color: #10101C;color: #FFFFFF;";
// The slot's name is cut to the width of its label.
constexpr int kModeNameWidth = 171;
constexpr int kModeListedImages = 4;
constexpr int kModeOsdTextLines = 3;

QString modeText(const panel::Tr5& format, int a, int b = 0, int c = 0)
{
    return QString::asprintf(panel::text(format).toUtf8().constData(), a, b, c);
}

// Image byte `addr` as the slot keeps it (slot data starts with image byte
// 896), little-endian.
uint16_t modeSlotWord(const uint8_t* data, int addr) { return le16(data + addr - kModeStart); }

QString modeEffectWord(int effect)
{
    // 0, 1 and anything above 5 are a still caption.
    return panel::text(kModeEffect[effect >= 2 && effect <= 5 ? effect - 1 : 0]);
}

// A menu colour as a style-sheet value: six hexadecimal digits, with or
// without "0x" before them. Anything else gives no colour (empty), so a
// damaged file never writes into the style sheet.
QString modeMenuColour(const std::string& stored)
{
    QString hex = QString::fromStdString(stored);
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    if (hex.size() != 6)
        return QString();
    for (const QChar ch : hex)
        if (!ch.isDigit() && !QStringLiteral("abcdefABCDEF").contains(ch))
            return QString();
    return hex;
}

// A button's word in a smaller font where it is wider than the button.
void modeFitButton(QPushButton* button) { panel::fit_font(button, QStringList{button->text()}, button->width() - 6, 5); }

// "/data/modes/MO" with the mode number (slot + 1) in two lower-case
// hexadecimal digits, ".json".
std::string modeMenuCopyPath(int slot)
{
    char path[32];
    std::snprintf(path, sizeof path, "/data/modes/MO%02x.json", unsigned(slot + 1) & 0xFFu);
    return path;
}
} // namespace

CustomMode::CustomMode(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::CustomMode)
    , style_focus(QStringLiteral(
          "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 171, 84);"))
    , style_normal(QStringLiteral(
          "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);"))
{
    ui->setupUi(this);
    preview_font.setPixelSize(10);
    ui->lineEdit->setReadOnly(true);
    ui->label_blank->hide();

    const int current = VyxRamPara::pInstance()->VyxGetCurrentModeIndex();
    g_mode_select = uint8_t(current ? current - 1 : 0);

    mode_box = new vyxcontrol(QRect(19, 0, 100, 22), QRect(0, 0, 20, 22), QRect(118, 0, 20, 22), this);
    mode_box->setGeometry(3, 28, 320, 24);

    init();
    lcd_para_init();
    image_para_init();
    menulist_init();
    ui->label_ID->setText(QStringLiteral("ID:%1").arg(g_mode_select.load() + 1));
    ui->Button_use->setStyleSheet(style_normal);
    language_changed();
}

CustomMode::~CustomMode()
{
    // A newer user-mode screen may hold the pointer by now.
    if (g_custommode == this)
        g_custommode = nullptr;
    delete ui;
}

void CustomMode::init()
{
    QStringList names;
    for (int n = 1; n <= kModeSlots; ++n)
        names << panel::text(kModeEntryName).arg(n);
    mode_box->list->insertItems(mode_box->list->count(), names);
    mode_box->list->setCurrentIndex(g_mode_select.load());
    mode_box->setFocusPolicy(Qt::NoFocus);
    mode_box->list->setFocusPolicy(Qt::NoFocus);
}

void CustomMode::menulist_init()
{
    focus_current = focus_first = mode_box;
    ui_button = 0;
    ui_level = 0;
    ui_select = g_mode_select.load();
    mode_box->set_box_default();
}

int CustomMode::get_mode_status() { return VyxRamPara::pInstance()->VyxUserModeSaved(g_mode_select.load()); }

void CustomMode::language_changed()
{
    ui->label_title->setText(panel::text(kModeTitle));
    ui->Button_delete->setText(panel::text(kModeDelete));
    ui->Button_use->setText(panel::text(kModeInvoke));
    ui->label_using->setText(panel::text(kModeUsing));
    ui->label_blank->setText(panel::text(kModeNotSaved));
    panel::fit_label(ui->label_using);
    modeFitButton(ui->Button_delete);
    modeFitButton(ui->Button_use);
}

void CustomMode::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

// ------------------------------------------------------------ slot lines

void CustomMode::lcd_para_init()
{
    const int m = g_mode_select.load();
    uint8_t data[kModeLength];
    panel::read_slot(m, kSlotData, data, kModeLength);
    const int16_t width = int16_t(modeSlotWord(data, kLedWidth));
    const int16_t height = int16_t(modeSlotWord(data, kLedHeight));
    const int16_t brightness = int16_t(modeSlotWord(data, kBrightness));
    const int16_t contrast = int16_t(modeSlotWord(data, kContrast));
    // The PC may store any byte as the audio image; only the 16 image
    // records exist, so any other has no sound to show.
    const int audio = modeSlotWord(data, kAudioImage) & 0xFF;
    const bool volumeOn = audio < kImageRecordCount && (modeSlotWord(data, imageRecord(audio) + kImgAudio) & 0x8000);

    ALIAS_PARA alias;
    if (get_json_alias_para(&alias, kAliasUserMode, m)) {
        const QString name = panel::text(kModeNamePrefix) + QString::fromStdString(alias.name);
        ui->label_name->setText(
            QFontMetrics(ui->label_name->font()).elidedText(name, Qt::ElideRight, kModeNameWidth, Qt::TextShowMnemonic));
    } else {
        ui->label_name->setText(modeText(kModeDefaultName, m + 1));
    }
    // The user's name is text, never markup.
    ui->label_name->setTextFormat(Qt::PlainText);
    panel::fit_label(ui->label_name);
    ui->label_LED->setText(modeText(kModeLedLine, width, height));
    panel::fit_label(ui->label_LED);
    ui->label_brightness->setText(modeText(volumeOn ? kModeLevelOn : kModeLevelOff, brightness, contrast));
    panel::fit_label(ui->label_brightness);
    ui->Button_more->setText(panel::text(kModeMore));
    modeFitButton(ui->Button_more);
    ui->label_using->setVisible(VyxRamPara::pInstance()->VyxGetCurrentModeIndex() == m + 1);
}

// --------------------------------------------------------------- preview

void CustomMode::image_para_init()
{
    if (preview) {
        // A rebuild can run inside a handler of an event the old panel is
        // still part of: it goes once control is back in the event loop.
        preview->hide();
        preview->setObjectName(QString());
        preview->deleteLater();
        preview = nullptr;
        label_chip = label_upper = label_lower = nullptr;
    }
    const int m = g_mode_select.load();
    VyxRamPara* store = VyxRamPara::pInstance();
    if (!store->VyxUserModeSaved(m)) {
        for (QWidget* w : std::initializer_list<QWidget*>{ui->label_LED, ui->label_brightness, ui->Button_delete,
                 ui->Button_use, ui->label_using, ui->Button_more})
            w->hide();
        ui->label_blank->show();
        ui_button_hidden = 1;
        return;
    }
    ui->label_LED->show();
    ui->label_brightness->show();
    ui->Button_delete->show();
    ui->Button_use->show();
    ui->label_blank->hide();
    ui->label_using->setVisible(store->VyxGetCurrentModeIndex() == m + 1);

    uint8_t data[kModeLength];
    panel::read_slot(m, kSlotData, data, kModeLength);
    ui_button_hidden = modeSlotWord(data, kOsdOn) == 0 ? 1 : 0;
    ui->Button_more->setVisible(ui_button_hidden == 0);

    preview = new QWidget(ui->frame);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setGeometry(3, 61, 285, 90);
    preview->setMinimumSize(50, 60);
    if (ui_level == 1 && ui_button_hidden == 0 && ui_button == 2)
        osd_page();
    else
        image_list(data);
    preview->show();
}

QLabel* CustomMode::preview_label(const QString& name, const QRect& at)
{
    QLabel* label = new QLabel(preview);
    label->setObjectName(name);
    label->setGeometry(at);
    label->setFont(preview_font);
    return label;
}

void CustomMode::image_list(const uint8_t* slot)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    for (int k = 0; k < kModeListedImages; ++k) {
        const bool right = k >= 2;
        const int y = k % 2 ? 46 : 16;
        const int chipX = right ? 145 : 0;
        const int lineX = right ? 171 : 24;
        const QString row = QStringLiteral("image%1_").arg(k + 1);

        label_chip = preview_label(row + "chip", QRect(chipX, y - 14, 24, 24));
        label_chip->setText(QString::number(k + 1));
        label_chip->setAlignment(Qt::AlignCenter);
        color_fill(label_chip, uint8_t(k));

        short isCrop = 0;
        char cropIndex = 0;
        const int source = store->VyxGetImageSource(const_cast<uint8_t*>(slot), uint8_t(k), &isCrop, &cropIndex, 1);
        QString upper = sourceinfo::get_source_name_by_sourceid(uint8_t(source));
        if (isCrop)
            upper += QStringLiteral("_Crop%1").arg(uint8_t(cropIndex) + 1);
        const int record = imageRecord(k);
        upper += QLatin1Char(' ') + panel::text(modeSlotWord(slot, record + kImgEnable) ? kModeImageOn : kModeImageOff);
        // Reaching down to the lower line: "_" sits below the 12 pixels.
        label_upper = preview_label(row + "source", QRect(lineX, y - 14, 100, 14));
        label_upper->setStyleSheet(QLatin1String(kModePreviewLine));
        label_upper->setText(upper);

        label_lower = preview_label(row + "rect", QRect(lineX, y, 140, 12));
        label_lower->setStyleSheet(QLatin1String(kModePreviewLine));
        label_lower->setText(QStringLiteral("[%1,%2]%3x%4")
                                 .arg(modeSlotWord(slot, record + kImgX))
                                 .arg(modeSlotWord(slot, record + kImgY))
                                 .arg(modeSlotWord(slot, record + kImgWidth))
                                 .arg(modeSlotWord(slot, record + kImgHeight)));
    }
}

void CustomMode::osd_page()
{
    OSD_LIST menu;
    std::string path = modeMenuCopyPath(g_mode_select.load());
    get_json_omenu_para(&path[0], &menu);
    const OMENU_PARA& item = menu.item[0];
    auto n = [](int v) { return QString::number(unsigned(v)); };

    QLabel* info = preview_label(QStringLiteral("osd_info"), QRect(2, 56, 300, 30));
    info->setFrameShape(QFrame::NoFrame);
    info->setStyleSheet(QLatin1String(kModePreviewLine));
    info->setText(QStringLiteral("osd [x:") + n(item.x) + ",y:" + n(item.y) + ",w:" + n(item.w) + ",h:" + n(item.h) +
                  "] " + panel::text(kModeOsdFontSize) + n(item.fontw) + "*" + n(item.fonth) + "\n" +
                  panel::text(kModeOsdSpacing) + n(item.wordspace) + ",v:" + n(item.verticalspace) + "] " +
                  panel::text(kModeOsdCaption) + n(item.startx) + ",y:" + n(item.starty) + "] " + panel::text(kModeOsdSpeed) +
                  n(item.speed) + "," + modeEffectWord(item.effect));

    QLabel* caption = preview_label(QStringLiteral("osd_text"), QRect(6, 2, 300, 50));
    caption->setFrameShape(QFrame::NoFrame);
    // A colour the file lacks is left out, not written empty.
    const QString back = modeMenuColour(item.back_color), ink = modeMenuColour(item.font_color);
    caption->setStyleSheet((back.isEmpty() ? QString() : "background-color:#" + back + ";") +
                           (ink.isEmpty() ? QString() : "color:#" + ink + ";"));
    caption->setTextFormat(Qt::PlainText);
    const QString texts = QString::fromStdString(item.texts);
    const QStringList lines = texts.split(QLatin1Char('\n'));
    caption->setText(lines.size() > kModeOsdTextLines ? lines.mid(0, kModeOsdTextLines).join(QLatin1Char('\n')) : texts);
    label_upper = info;
    label_lower = caption;
}

void CustomMode::color_fill(QLabel* label, unsigned char k)
{
    static const char* const kChip[] = {"background-color: #D5E5FF;", "background-color: #D4FC79;",
        "background-color: #FC9D79;", "background-color: #7E9AC9;", "background-color: #32CC4C;",
        "background-color: #4777FF;"};
    label->setStyleSheet(QLatin1String(k < 6 ? kChip[k] : "background-color: #CCCCCC;"));
}

// ------------------------------------------------------ actions and keys

void CustomMode::vyx_button_mode_clicked()
{
    g_mode_select = ui_select;
    ui->label_ID->setText(QStringLiteral("ID:%1").arg(ui_select + 1));
    lcd_para_init();
    image_para_init();
}

void CustomMode::vyx_button_selinfo(unsigned char op, unsigned char index)
{
    QPushButton* const buttons[] = {ui->Button_use, ui->Button_delete, ui->Button_more};
    switch (op) {
    case 0:
        if (index < 3)
            buttons[index]->setStyleSheet(style_focus);
        vyx_button_mode_clicked();
        break;
    case 1:
        if (index < 3)
            buttons[index]->setStyleSheet(style_normal);
        break;
    case 2:
        for (QPushButton* b : buttons)
            b->setStyleSheet(style_normal);
        break;
    default:
        break;
    }
}

void CustomMode::on_Button_use_clicked()
{
    const int m = g_mode_select.load();
    if (!VyxRamPara::pInstance()->VyxUserModeSaved(m))
        return;
    panel::scaler_write([m](panel::ScalerWrite& w) {
        w.put16(kCurrentMode, uint16_t(m + 1));
        w.copy_slot_in(m);
    });
}

void CustomMode::on_Button_delete_clicked()
{
    const int m = g_mode_select.load();
    VyxRamPara* store = VyxRamPara::pInstance();
    if (!store->VyxUserModeSaved(m))
        return;
    store->mode_file_deal(m, 1);
    lcd_para_init();
    image_para_init();
}

void CustomMode::keyPressEvent(QKeyEvent* event) { panel::log_key_press("CustomMode", event->key()); }

void CustomMode::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const int buttons = 3 - ui_button_hidden;
    switch (panel::key_role(key)) {
    case panel::KeyRole::Right:
    case panel::KeyRole::Left: {
        const int step = panel::key_role(key) == panel::KeyRole::Right ? 1 : -1;
        if (ui_level == 0) {
            mode_box->set_box_default();
            ui_select = uint8_t((ui_select + kModeSlots + step) % kModeSlots);
            mode_box->set_boxindexsel(ui_select);
            vyx_button_mode_clicked();
        } else {
            vyx_button_selinfo(1, ui_button);
            ui_button = uint8_t((ui_button + buttons + step) % buttons);
            vyx_button_selinfo(0, ui_button);
        }
        break;
    }
    case panel::KeyRole::Ok:
        qDebug("this is OK button(CustomMode)[Release]\n");
        if (ui_level == 0) {
            if (get_mode_status() == 1) {
                ui_level = 1;
                mode_box->set_box_modify();
                ui_button = 0;
                vyx_button_selinfo(0, 0);
            }
        } else {
            ui_level = 0;
            mode_box->set_box_default();
            if (ui_button == 0)
                on_Button_use_clicked();
            else if (ui_button == 1)
                on_Button_delete_clicked();
            vyx_button_selinfo(2, 0);
        }
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button(CustomMode)[Release]\n");
        if (ui_level == 0) {
            leave();
        } else {
            ui_level = 0;
            mode_box->set_box_default();
            vyx_button_selinfo(2, 0);
            vyx_button_mode_clicked();
        }
        break;
    case panel::KeyRole::Mode: // no effect of its own here
    case panel::KeyRole::None:
        break;
    }
    keyboard.update_usb_keyEvent(key);
}

void CustomMode::leave()
{
    if (!g_mode_shortcut_key.load()) {
        slot_Button_back_clicked();
        return;
    }
    g_mode_shortcut_key = 0;
    panel::close_screen(this);
    g_custommode = nullptr;
    panel::open_modeless(g_lockwindow, kPageLockWindow);
}

void CustomMode::slot_Button_back_clicked() { panel::go_back(this, g_custommode, g_mainwindow, kPageMainWindow); }
