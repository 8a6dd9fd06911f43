// The shared number keyboard: what the keypad ring and the touch keys type,
// what OK, Cancel and back hand back, and the number field's road to it.
#include "tests/support/modal_driver.h"
#include "tests/support/panel.h"
#include "tests/support/sandbox.h"
#include "tests/ui/frame_pixels.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QValidator>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "core/vyxrampara.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_kit.h"

namespace {

constexpr int kOkKey = 13; // ring index of Button_ok

const char* const kRingNames[] = {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7",
                                  "Button8", "Button9", "Button0", "ButtonC", "ButtonX", "Button_close", "Button_ok"};

class NumberKeys : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        g_language = panel::kEnglish;
        kb = new NumberKeyboard(nullptr);
        QObject::connect(kb, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, [this](QString text) { sent.push_back(text); });
    }
    void TearDown() override
    {
        delete kb;
        Sandbox::TearDown();
    }

    QLineEdit* field() const { return kb->findChild<QLineEdit*>("lineEdit"); }
    QPushButton* key(const char* name) const { return kb->findChild<QPushButton*>(name); }

    // Walks the keypad ring right to `index` and presses OK there.
    void okOn(int index)
    {
        while (at != index) {
            paneltest::key(kb, 'R');
            at = (at + 1) % 14;
        }
        paneltest::key(kb, panel::kKeyOk);
    }
    // The ring digits of `digits`, one after the other.
    void typeOnRing(const char* digits)
    {
        for (const char* d = digits; *d; ++d)
            okOn(*d == '0' ? 9 : *d - '1');
    }

    NumberKeyboard* kb = nullptr;
    std::vector<QString> sent;
    int at = 0; // where the ring stands
};

} // namespace

TEST_F(NumberKeys, FirstDigitReplacesTheValueAndOkSendsTheField)
{
    // The Russian password title is the widest a screen hands over: it is
    // shown whole, and a short title after it gets the form's size back.
    QLabel* title = kb->findChild<QLabel*>("label");
    const int formPoint = title->font().pointSize();
    kb->label_show(QString::fromUtf8("Пароль"), "**********");
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->width());
    kb->label_show("W", "1920");
    EXPECT_EQ(title->text(), "W");
    EXPECT_EQ(title->font().pointSize(), formPoint);
    kb->show();
    okOn(kOkKey);
    EXPECT_EQ(sent, std::vector<QString>{"1920"});
    EXPECT_FALSE(kb->isVisible());

    kb->label_show("W", "1920");
    typeOnRing("50");
    EXPECT_EQ(field()->text(), "50");
    okOn(kOkKey);
    EXPECT_EQ(sent.back(), "50");
}

TEST_F(NumberKeys, ClearAndDeleteKeys)
{
    kb->label_show("H", "1080");
    okOn(10); // C
    okOn(kOkKey);
    EXPECT_EQ(sent.back(), "0");

    kb->label_show("H", "1080");
    okOn(10);
    typeOnRing("7");
    okOn(kOkKey);
    EXPECT_EQ(sent.back(), "7"); // not 07

    // Delete copies the field into the typed text, so digits append to it.
    kb->label_show("H", "1920");
    okOn(11);
    EXPECT_EQ(field()->text(), "192");
    typeOnRing("5");
    EXPECT_EQ(field()->text(), "1925");

    kb->label_show("H", "");
    key("ButtonX")->click();
    EXPECT_EQ(field()->text(), "");
    okOn(kOkKey);
    EXPECT_EQ(sent.back(), ""); // an empty field is sent as it is
}

TEST_F(NumberKeys, NineThenZeroTypesNinetyOnTheRingAndByTouch)
{
    kb->label_show("W", "1920");
    typeOnRing("90");
    EXPECT_EQ(field()->text(), "90");
    typeOnRing("9");
    typeOnRing("0");
    EXPECT_EQ(field()->text(), "9090");

    kb->label_show("W", "1920");
    for (const char* name : {"Button9", "Button0"})
        paneltest::touch(key(name));
    EXPECT_EQ(field()->text(), "90");
    kb->label_show("W", "1920");
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button8"})
        paneltest::touch(key(name));
    EXPECT_EQ(field()->text(), "12345678");
    paneltest::touch(key("Button_ok"));
    EXPECT_EQ(sent, std::vector<QString>{"12345678"});
}

TEST_F(NumberKeys, TheKeyOkPressesIsOutlinedFromTheFirstUse)
{
    // A keyboard never used yet: the orange frame is painted round its
    // first key, the one OK on the keypad types.
    kb->label_show("W", "1920");
    kb->show();
    EXPECT_EQ(pixelsOffTheFrame(key("Button1"), QColor(255, 171, 84)), std::vector<QPoint>{});
    paneltest::key(kb, panel::kKeyOk);
    EXPECT_EQ(field()->text(), "1");
    kb->hide();
}

TEST_F(NumberKeys, TakesNoMoreDigitsThanItsFieldShowsWhole)
{
    g_numberkeyboard = kb;
    QWidget screen;
    auto* part = new My_lineEdit(&screen);
    part->setProperty("digits", 3); // an address part
    part->setText("192");
    QObject::connect(kb, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, &screen,
                     [part](QString text) { part->setText(text); });
    ModalDriver drive;
    drive.then([&] {
        EXPECT_EQ(field()->text(), "192");
        for (const char* name : {"Button2", "Button5", "Button5", "Button9"})
            paneltest::touch(key(name));
        EXPECT_EQ(field()->text(), "255");
        typeOnRing("7"); // nor on the keypad
        EXPECT_EQ(field()->text(), "255");
        okOn(11); // a digit deleted makes room for one
        typeOnRing("4");
        EXPECT_EQ(field()->text(), "254");
        okOn(kOkKey);
    });
    drive.run([&] { panel::open_number_keyboard(part, "IP"); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(part->text(), "254");

    // Opened without a field (the ageing code): as many digits as its own
    // line shows whole; the hidden code's stars the program shows stay whole.
    kb->label_show("key", "**********");
    EXPECT_EQ(field()->text(), "**********");
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button8",
                             "Button9", "Button0"})
        paneltest::touch(key(name));
    EXPECT_EQ(field()->text(), "12345678");
    g_numberkeyboard = nullptr;
    g_lineedit = nullptr;
}

TEST_F(NumberKeys, RingWrapsBothWaysWithTheOkKeyDrawnBlue)
{
    const QString normal = "background-color: rgb(255, 255, 255);border:1px ;";
    const QString focused = "background-color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
    const QString okNormal = "background-color: rgb(71, 119, 255);border:1px ;";
    const QString okFocused = "background-color: rgb(71, 119, 255);border:1px solid rgb(255,171,84);";
    // Shown first with the first key outlined.
    for (const char* name : kRingNames)
        EXPECT_EQ(key(name)->styleSheet(),
                  QString(name) == "Button_ok" ? okNormal : QString(name) == "Button1" ? focused : normal) << name;

    paneltest::key(kb, panel::kKeyLeft);
    EXPECT_EQ(key("Button_ok")->styleSheet(), okFocused);
    EXPECT_EQ(key("Button1")->styleSheet(), normal);
    paneltest::key(kb, 'R');
    EXPECT_EQ(key("Button_ok")->styleSheet(), okNormal);
    EXPECT_EQ(key("Button1")->styleSheet(), focused);
    paneltest::key(kb, 'S');
    paneltest::key(kb, 'S');
    EXPECT_EQ(key("Button_close")->styleSheet(), focused);
    EXPECT_EQ(key("Button_ok")->styleSheet(), okNormal);

    // The ring stays where it was from one use to the next.
    kb->label_show("W", "1");
    paneltest::key(kb, panel::kKeyOk);
    EXPECT_FALSE(kb->isVisible());
    EXPECT_TRUE(sent.empty()); // Cancel sends nothing
}

TEST_F(NumberKeys, FieldOpensTheKeyboardAndBackKeepsItsText)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    g_numberkeyboard = kb;
    QWidget screen;
    auto* width = new My_lineEdit(&screen);
    EXPECT_EQ(width->text(), "");
    width->setText("1920");
    QObject::connect(width, &My_lineEdit::send_show, &screen, [&](QString) {
        g_lineedit = width;
        g_numberkeyboard->label_show("W", width->text());
        g_numberkeyboard->exec();
    });
    QObject::connect(kb, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, &screen,
                     [](QString text) { g_lineedit->setText(text); });

    // The keypad: the global keys do nothing while the keyboard is up, and
    // back leaves the field as it was.
    std::vector<uint8_t> before(store->ram_para, store->ram_para + 4096);
    const uint8_t image = g_image_current.load();
    ModalDriver keypad;
    keypad.then([&] {
        EXPECT_TRUE(kb->isVisible());
        typeOnRing("5");
        for (int global : {int('C'), int('E'), int('K'), int('N'), int('P'), int('M'), panel::kKeyMode})
            paneltest::key(kb, global);
        for (int code : {int(Qt::Key_Escape), int(Qt::Key_Return), int('O')}) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
            QCoreApplication::sendEvent(kb, &press);
        }
        EXPECT_TRUE(kb->isVisible()); // presses never close it
        paneltest::key(kb, 'O');
    });
    keypad.run([&] { paneltest::touch(width); });
    EXPECT_FALSE(keypad.timedOut());
    EXPECT_EQ(width->text(), "1920");
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(std::memcmp(before.data(), store->ram_para, before.size()), 0);
    EXPECT_EQ(g_image_current.load(), image);

    // Touch: the typed number reaches the field.
    ModalDriver finger;
    finger.then([&] {
        paneltest::touch(key("Button7"));
        paneltest::touch(key("Button_ok"));
    });
    finger.run([&] { paneltest::touch(width); });
    EXPECT_FALSE(finger.timedOut());
    EXPECT_EQ(width->text(), "7");
    g_numberkeyboard = nullptr;
    g_lineedit = nullptr;
}

TEST_F(NumberKeys, TextsFollowTheOfferedLanguageAndTheFieldTakesDigitsOnly)
{
    struct Case {
        int language;
        uint32_t offered;
        const char* cancel;
        const char* ok;
    };
    const Case cases[] = {{panel::kEnglish, 0x1F, "Cancle", "OK"},       {panel::kChinese, 0x1F, "取消", "确定"},
                          {panel::kRussian, 0x1F, "Отмена", "OK"},       {panel::kVietnamese, 0x1F, "Hủy bỏ", "Đồng ý"},
                          {panel::kTraditional, 0x1F, "取消", "確定"},   {panel::kRussian, 0x1B, "Cancle", "OK"}};
    for (const Case& c : cases) {
        g_language = uint8_t(c.language);
        g_lcd_lang_valid = c.offered;
        kb->label_show("W", "1");
        EXPECT_EQ(key("Button_close")->text(), QString::fromUtf8(c.cancel)) << c.language;
        EXPECT_EQ(key("Button_ok")->text(), QString::fromUtf8(c.ok)) << c.language;
    }

    EXPECT_EQ(key("ButtonX")->property("png").toString(), ":/png/delete.png");
    EXPECT_EQ(key("ButtonX")->iconSize(), QSize(20, 20));

    const QValidator* digits = field()->validator();
    ASSERT_NE(digits, nullptr);
    for (QString typed : {QString("1920"), QString("**********"), QString("0*9")}) {
        int pos = 0;
        EXPECT_EQ(digits->validate(typed, pos), QValidator::Acceptable) << typed.toStdString();
    }
    for (QString typed : {QString("12a"), QString("-1"), QString("1.5")}) {
        int pos = 0;
        EXPECT_EQ(digits->validate(typed, pos), QValidator::Invalid) << typed.toStdString();
    }
}
