#include "ui/setup/ledset.h"
#include "ui_ledset.h"

#include <QKeyEvent>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "remote/message_deal.h"
#include "ui/setup/setup_kit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/tip.h"

namespace {
const panel::PageRefresh<ledset> kLedsetRefresh(kPageLedset, g_ledset);

const panel::Tr5 kLedsetTitle{"LED设置", "LED Setting", "Настройки LED", "Cài đặt LED", "LED設置"};
const panel::Tr5 kLedsetNote{"设置LED宽高", "Set LED W&H", "Ширина и высота LED", "Đặt chiều rộng và cao LED",
                             "設置LED寬高"};
const panel::Tr5 kLedsetWidth{"宽", "W", "Ширина", "Rộng", "寬"};
const panel::Tr5 kLedsetHeight{"高", "H", "Высота", "Cao", "高"};
// The keyboard's titles: the whole words in Chinese, the letters otherwise.
const panel::Tr5 kLedsetWidthTitle{"宽度", "W", "W", "W", "寬度"};
const panel::Tr5 kLedsetHeightTitle{"高度", "H", "H", "H", "高度"};
const panel::Tr5 kLedsetApply{"应用", "Apply", "Применить", "Áp dụng", "應用"};
const panel::Tr5 kLedsetCancel{"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const panel::Tr5 kLedsetLimits{"LED最大:%1(宽),%2(高)", "LED max:%1(w),%2(h)", "LED макс.:%1(ш),%2(в)",
                               "LED tối đa:%1(r),%2(c)", "LED最大:%1(寬),%2(高)"};

const QString kWidthName = QStringLiteral("lineEdit_ledw");
const QString kHeightName = QStringLiteral("lineEdit_ledh");

constexpr int kItemWidth = 0, kItemHeight = 1, kItemApply = 2, kItemCancel = 3;
// Images 1..5 are switched off by a new LED size.
constexpr int kImagesOffFirst = 1, kImagesOffLast = 5;

// A typed text as a number: digits only, or 0. A number too long for any
// side still counts as too large rather than as nothing; leading zeros do
// not make it longer.
int64_t typedValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    for (QChar c : t)
        if (!c.isDigit())
            return 0;
    int first = 0;
    while (first < t.size() - 1 && t[first] == QLatin1Char('0'))
        ++first;
    const QString digits = t.mid(first);
    return digits.size() > 12 ? INT64_MAX / 2 : digits.toLongLong();
}

// A field's text as the unsigned 16-bit word it stands for; 0 when it is
// not one.
uint16_t fieldWord(const QLineEdit* field)
{
    bool ok = false;
    const unsigned v = field->text().trimmed().toUShort(&ok);
    return ok ? uint16_t(v) : 0;
}
} // namespace

ledset::ledset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::ledset)
    , m_fieldStyle(style::kFieldNormal)
    , m_fieldFocused(style::kFieldFocused)
    , m_buttonStyle("color: rgb(255, 255, 255);background-color: rgb(33, 36, 53) ; border:1px solid rgb(255,255,255) ;")
    , m_buttonFocused("color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);")
    , m_ring(ui_select)
{
    ui->setupUi(this);
    panel::set_picture(ui->label_warning, panel::png_plain(QStringLiteral("warning")));
    connect(ui->lineEdit_ledw, &My_lineEdit::send_show, this, &ledset::show_numberkeyboard_ui);
    connect(ui->lineEdit_ledh, &My_lineEdit::send_show, this, &ledset::show_numberkeyboard_ui);
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this, &ledset::confirmString);
    para_init();
    menulist_init();
    language_changed();
}

ledset::~ledset() { delete ui; }

void ledset::para_init()
{
    ui->lineEdit_ledw->setText(QString::number(panel::img16(ram::kLedWidth)));
    ui->lineEdit_ledh->setText(QString::number(panel::img16(ram::kLedHeight)));
}

void ledset::menulist_init()
{
    m_ring.set({ui->lineEdit_ledw, ui->lineEdit_ledh, ui->Button_apply, ui->Button_cancle}, [this](int index, bool focused) {
        if (index <= kItemHeight)
            return focused ? m_fieldFocused : m_fieldStyle;
        return focused ? m_buttonFocused : m_buttonStyle;
    });
    m_ring.start(kItemWidth);
}

void ledset::language_changed()
{
    ui->label_ledset->setText(panel::text(kLedsetTitle));
    ui->label_note_led_w->setText(panel::text(kLedsetNote));
    ui->label_ledw->setText(panel::text(kLedsetWidth));
    ui->label_ledh->setText(panel::text(kLedsetHeight));
    ui->Button_apply->setText(panel::text(kLedsetApply));
    ui->Button_cancle->setText(panel::text(kLedsetCancel));
    ui->label_tip->setText(panel::text(kLedsetLimits).arg(kMaxSide).arg(kMaxSide));
}

void ledset::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    if (panel::changed16(ram::kLedWidth) || panel::changed16(ram::kLedHeight))
        para_init();
}

void ledset::show_numberkeyboard_ui(QString)
{
    if (auto* field = qobject_cast<QLineEdit*>(sender()))
        open_keyboard_on(field);
}

void ledset::open_keyboard_on(QLineEdit* field)
{
    m_editName = field->objectName();
    const bool width = field == ui->lineEdit_ledw;
    panel::open_number_keyboard(field, panel::text(width ? kLedsetWidthTitle : kLedsetHeightTitle));
}

void ledset::confirmString(QString typed)
{
    QLineEdit* edited = m_editName == kWidthName ? ui->lineEdit_ledw : m_editName == kHeightName ? ui->lineEdit_ledh : nullptr;
    // The keyboard answers every screen listening to it: only a field of
    // this screen that it was opened on takes the value.
    if (!edited || g_lineedit != edited)
        return;
    QLineEdit* other = edited == ui->lineEdit_ledw ? ui->lineEdit_ledh : ui->lineEdit_ledw;
    const int64_t v = typedValue(typed);
    const int64_t o = fieldWord(other);
    if (v > kMaxSide) {
        edited->setText(QString::number(kMaxSide));
        if (o * kMaxSide > kMaxPixelsWidthTyped)
            other->setText(QString::number(kMaxPixelsWidthTyped / kMaxSide));
    } else if (v < kMinSide) {
        edited->setText(QString::number(kMinSide));
    } else {
        edited->setText(typed);
        const int64_t limit = edited == ui->lineEdit_ledw ? kMaxPixelsWidthTyped : kMaxPixelsHeightTyped;
        if (o * v > limit)
            other->setText(QString::number(limit / v));
    }
}

void ledset::on_Button_apply1_clicked()
{
    // Read as the words the image holds: a size above 32767 that another
    // path wrote stays what it is.
    const uint16_t w = fieldWord(ui->lineEdit_ledw), h = fieldWord(ui->lineEdit_ledh);
    bool newSize = false;
    {
        panel::ScalerWrite write;
        write.put16(ram::kLedWidth, w);
        write.put16(ram::kLedHeight, h);
        write.put16(ram::kOutput1 + 4, w);
        write.put16(ram::kOutput1 + 6, h);
        write.put16(ram::kOutput2 + 4, w);
        write.put16(ram::kOutput2 + 6, h);
        for (int addr : {ram::kSpliceMode, ram::kOutput1, ram::kOutput1 + 2, ram::kOutput2, ram::kOutput2 + 2})
            write.put16(addr, 0);
        newSize = w != panel::snap16(ram::kLedWidth) || h != panel::snap16(ram::kLedHeight);
        if (newSize) {
            const int first = ram::imageRecord(0);
            write.put16(first + ram::kImgX, 0);
            write.put16(first + ram::kImgY, 0);
            write.put16(first + ram::kImgWidth, w);
            write.put16(first + ram::kImgHeight, h);
            for (int image = kImagesOffFirst; image <= kImagesOffLast; ++image)
                write.put16(ram::imageRecord(image) + ram::kImgEnable, 0);
            // Before the request: the scaler must find the handshake started
            // when it takes the new size. It is skipped while FPGA 0 is not
            // ready or there is no FPGA manager.
            message_deal::start_led_handshake();
        }
    }
    if (newSize && g_tip)
        g_tip->tip_create(kNoticeDone);
}

void ledset::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &m_ring,
        [this](int item) {
            if (item == kItemWidth || item == kItemHeight) {
                // As a touch does: the field asks for the keyboard.
                auto* field = item == kItemWidth ? ui->lineEdit_ledw : ui->lineEdit_ledh;
                emit field->send_show(field->text());
            } else if (item == kItemApply) {
                on_Button_apply1_clicked();
            } else {
                slot_Button_back_clicked();
            }
        },
        [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_ledset, g_outputset, g_option); });
}

void ledset::slot_Button_back_clicked() { panel::go_back(this, g_ledset, g_outputset, kPageOutputSet); }
