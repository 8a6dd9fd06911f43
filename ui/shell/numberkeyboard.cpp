#include "ui/shell/numberkeyboard.h"

#include "ui/shell/label_fit.h"
#include "ui_numberkeyboard.h"

#include <QDebug>
#include <QKeyEvent>
#include <QRegExpValidator>

QString l_str;

namespace {
constexpr int kRingOk = 13;      // Button_ok, drawn blue
constexpr int kRingZero = 9;     // Button0
constexpr int kRingClear = 10;   // ButtonC
constexpr int kRingDelete = 11;  // ButtonX
constexpr int kRingClose = 12;   // Button_close
// The digits the keyboard's own line shows whole, whatever they are; a
// field that shows fewer says so (My_lineEdit::digits).
constexpr int kLineDigits = 8;

const panel::Tr5 kCancelText{"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const panel::Tr5 kOkText{"确定", "OK", "OK", "Đồng ý", "確定"};
} // namespace

NumberKeyboard::NumberKeyboard(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::NumberKeyboard)
    , m_style("background-color: rgb(255, 255, 255);border:1px ;")
    , m_styleFocused("background-color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);")
    , m_styleOk("background-color: rgb(71, 119, 255);border:1px ;")
    , m_styleOkFocused("background-color: rgb(71, 119, 255);border:1px solid rgb(255,171,84);")
    , m_ring(ui_select)
{
    ui->setupUi(this);
    m_digits = kLineDigits;
    // Typed directly into the field: digits and the asterisk of a hidden
    // code; texts the program sets are not filtered.
    ui->lineEdit->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("[*0-9]+$"), Qt::CaseSensitive, QRegExp::RegExp), this));
    panel::set_icon(ui->ButtonX, panel::png_plain(QStringLiteral("delete")), QSize(20, 20));

    // The digit keys type on touch as OK types them on the keypad: without
    // a keypad the panel would have no other way to enter a number.
    QPushButton* const digits[] = {ui->Button0, ui->Button1, ui->Button2, ui->Button3, ui->Button4,
                                   ui->Button5, ui->Button6, ui->Button7, ui->Button8, ui->Button9};
    for (int d = 0; d < 10; ++d)
        connect(digits[d], &QPushButton::clicked, this, [this, d] { type_digit(d); });

    menulist_init();
}

NumberKeyboard::~NumberKeyboard() { delete ui; }

void NumberKeyboard::menulist_init()
{
    m_ring.set({ui->Button1, ui->Button2, ui->Button3, ui->Button4, ui->Button5, ui->Button6, ui->Button7,
                ui->Button8, ui->Button9, ui->Button0, ui->ButtonC, ui->ButtonX, ui->Button_close, ui->Button_ok},
               [this](int index, bool focused) {
                   if (index == kRingOk)
                       return focused ? m_styleOkFocused : m_styleOk;
                   return focused ? m_styleFocused : m_style;
               });
    // The key OK would press is outlined from the first use on.
    m_ring.start(0);
}

void NumberKeyboard::label_show(QString title, QString value)
{
    ui->label->setText(title);
    panel::fit_label(ui->label); // "Пароль" is wider than the form's title room
    l_str.clear();
    m_digits = kLineDigits;
    ui->lineEdit->setText(value);
    language_changed();
}

void NumberKeyboard::set_digits(int digits)
{
    m_digits = digits > 0 && digits < kLineDigits ? digits : kLineDigits;
}

void NumberKeyboard::language_changed()
{
    ui->Button_close->setText(panel::text(kCancelText));
    ui->Button_ok->setText(panel::text(kOkText));
}

void NumberKeyboard::type_digit(int digit)
{
    // Past the digits the field shows whole a digit is not taken; a value
    // the program put there (a hidden code's stars) may be longer.
    if (l_str.size() >= m_digits)
        return;
    // Every digit appends, 0 after a 9 included: "90" is ninety.
    l_str += QChar('0' + digit);
    ui->lineEdit->setText(l_str);
    qDebug() << "l_str =" << l_str;
}

void NumberKeyboard::on_ButtonC_clicked()
{
    ui->lineEdit->setText(QStringLiteral("0"));
    l_str.clear();
}

void NumberKeyboard::on_ButtonX_clicked()
{
    QString text = ui->lineEdit->text();
    text.chop(1);
    ui->lineEdit->setText(text);
    l_str = text;
}

void NumberKeyboard::on_Button_ok_clicked()
{
    emit sendKeyBoardUIDataToLineEdit(ui->lineEdit->text());
    hide();
}

void NumberKeyboard::on_Button_close_clicked() { hide(); }

void NumberKeyboard::keyReleaseEvent(QKeyEvent* event)
{
    // Handled here alone: the global keys stay quiet while a number is typed.
    event->accept();
    switch (panel::key_role(event->key())) {
    case panel::KeyRole::Left:
        m_ring.move(-1);
        qDebug("this is left-code [NumberKeyboard][Release] ui_select=%#x", ui_select);
        break;
    case panel::KeyRole::Right:
        m_ring.move(+1);
        qDebug("this is right-code [NumberKeyboard][Release] ui_select=%#x", ui_select);
        break;
    case panel::KeyRole::Ok:
        qDebug("this is OK button(NumberKeyboard)[Release]\n");
        if (ui_select < kRingZero)
            type_digit(ui_select + 1);
        else if (ui_select == kRingZero)
            type_digit(0);
        else if (ui_select == kRingClear)
            on_ButtonC_clicked();
        else if (ui_select == kRingDelete)
            on_ButtonX_clicked();
        else if (ui_select == kRingClose)
            on_Button_close_clicked();
        else
            on_Button_ok_clicked();
        break;
    case panel::KeyRole::Back:
        qDebug("this is back button(NumberKeyboard)[Release]\n");
        on_Button_close_clicked();
        break;
    default:
        break;
    }
}
