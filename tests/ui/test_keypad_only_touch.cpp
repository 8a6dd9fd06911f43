// The lists and fields that only the keypad works: a touch, where a finger
// lands on the screen or sent to the widget itself, opens no drop-down and
// changes neither the entry or number shown nor the parameter image; and a
// choice tried by touch is not what OK applies afterwards.
#include "tests/support/panel_fixture.h"
#include "tests/ui/setup_screens.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <vector>

#include "ui/image/custommode.h"
#include "ui/image/imagelayout.h"
#include "ui/setup/factory.h"
#include "ui/setup/lcdshow.h"
#include "ui/setup/netset.h"
#include "ui/setup/othersetup.h"
#include "ui/setup/quality.h"
#include "ui/setup/temperature.h"

using paneltest::key;

namespace {

class KeypadOnlyTouch : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
    }

    std::vector<uint8_t> image() const
    {
        std::vector<uint8_t> bytes(ram::kImageSize);
        panel::read_image(0, bytes.data(), ram::kImageSize);
        return bytes;
    }

    // Where a finger on `w` lands: the widget the screen finds under the
    // centre of `w` (the screen itself where nothing is); and `w` itself,
    // as a touch sent to it directly.
    static std::vector<QWidget*> touchTargets(QWidget* w)
    {
        QWidget* screen = w->window();
        QWidget* hit = screen->childAt(w->mapTo(screen, w->rect().center()));
        return {hit ? hit : screen, w};
    }
    // `target` touched at the centre of `w`; twice: a double tap, which
    // selects the word under it in a line edit.
    static void tapOver(QWidget* target, QWidget* w, bool twice = false)
    {
        const QPoint at = target->mapFromGlobal(w->mapToGlobal(w->rect().center()));
        std::vector<QEvent::Type> events{QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
        if (twice)
            events.insert(events.end(), {QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease});
        for (QEvent::Type type : events) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent e(type, at, target->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &e);
        }
    }

    // A finger's choice of entry `row`: a touch on the list (each way one
    // reaches it), then on that row of its drop-down, or where the row
    // would lie below the list when none opened. False when the list
    // opened its drop-down.
    static bool touchChoose(QComboBox* list, int row)
    {
        bool opened = false;
        for (QWidget* target : touchTargets(list)) {
            tapOver(target, list);
            if (!QApplication::activePopupWidget())
                continue;
            opened = true;
            // The drop-down takes a finger's lift only once its double-click
            // interval has passed; the test does not wait, and gives it the
            // choice as its own Enter does.
            QAbstractItemView* view = list->view();
            view->setCurrentIndex(view->model()->index(row, list->modelColumn(), view->rootIndex()));
            QKeyEvent enter(QEvent::ShortcutOverride, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &enter);
            list->hidePopup();
        }
        QWidget* screen = list->window();
        const QPoint rowAt = list->mapTo(screen, list->rect().center() + QPoint(0, list->height() * (row + 1)));
        if (QWidget* hit = screen->childAt(rowAt))
            paneltest::touch(hit, hit->mapFrom(screen, rowAt));
        return !opened && !QApplication::activePopupWidget();
    }

    // Tries a touch choice of every other entry of `list`: none opens the
    // drop-down and the entry shown stays.
    static void expectListIgnoresTouches(QComboBox* list)
    {
        ASSERT_NE(list, nullptr);
        SCOPED_TRACE(list->objectName().toStdString());
        const int shown = list->currentIndex();
        for (int row = 0; row < list->count(); ++row) {
            if (row == shown)
                continue;
            EXPECT_TRUE(touchChoose(list, row)) << "row " << row << ": a touch opened the drop-down";
            EXPECT_EQ(list->currentIndex(), shown) << "row " << row;
        }
    }

    // Touches and double taps on `field`: its text stays, nothing of it is
    // selected.
    static void expectFieldIgnoresTouches(QLineEdit* field)
    {
        ASSERT_NE(field, nullptr);
        SCOPED_TRACE(field->objectName().toStdString());
        const QString text = field->text();
        for (QWidget* target : touchTargets(field))
            tapOver(target, field, true);
        EXPECT_EQ(field->text(), text);
        EXPECT_FALSE(field->hasSelectedText()) << "selected: " << field->selectedText().toStdString();
    }
};

} // namespace

TEST_F(KeypadOnlyTouch, SetupListsOpenNoDropDownAndChangeNothing)
{
    // The language list of the factory screen.
    store->ram_para[ram::kLanguage] = panel::kEnglish;
    factory* f = openScreen(g_factory, kPageFactory);
    std::vector<uint8_t> before = image();
    expectListIgnoresTouches(f->findChild<QComboBox*>("Box_lang_2"));
    EXPECT_EQ(f->findChild<QComboBox*>("Box_lang_2")->currentText(), "English");
    EXPECT_EQ(image(), before);
    EXPECT_EQ(request(), 0);
    key(f, panel::kKeyBack);

    // The colour-temperature type: the entry shown stays, and what OK, OK
    // confirms is that entry.
    setImage16(ram::kColourTempType, 2);
    temperature* t = openScreen(g_temperature, kPageTemperature);
    QComboBox* type = t->findChild<QComboBox*>("comboBox_type");
    before = image();
    expectListIgnoresTouches(type);
    EXPECT_EQ(type->currentText(), "nature");
    EXPECT_EQ(image(), before);
    key(t, panel::kKeyOk);
    key(t, panel::kKeyOk);
    EXPECT_EQ(image16(ram::kColourTempType), 2);
    key(t, panel::kKeyBack);

    // The panel time-outs, held in memory.
    g_back_to_mainwindow_time = 6000;
    g_auto_lock_time = 30000;
    lcdshow* l = openScreen(g_lcdshow, kPageLcdshow);
    expectListIgnoresTouches(l->findChild<QComboBox*>("comboBox_back"));
    expectListIgnoresTouches(l->findChild<QComboBox*>("comboBox_lock"));
    key(l, panel::kKeyOk);
    key(l, panel::kKeyOk);
    EXPECT_EQ(g_back_to_mainwindow_time, 6000);
    EXPECT_EQ(g_auto_lock_time, 30000);
}

TEST_F(KeypadOnlyTouch, OtherSettingsApplyOnOkOnlyWhatTheKeysChose)
{
    for (int k = 0; k < ram::kImageRecordCount; ++k)
        setImage16(ram::imageRecord(k) + ram::kImgEnable, k < 3 ? 1 : 0);
    setImage16(ram::kAudioImage, 1);
    setImage16(ram::imageRecord(1) + ram::kImgAudio, 0);
    othersetup* o = openScreen(g_othersetup, kPageOthersetup);
    const std::vector<uint8_t> before = image();
    for (const char* name : {"ImageVolume", "volume_state", "switch_state", "wifi_state", "dbd_state"})
        expectListIgnoresTouches(o->findChild<QComboBox*>(name));
    EXPECT_EQ(image(), before);

    // OK, OK on every row confirms the entry the keys left there: nothing
    // changes in the image.
    for (int row = 0; row < 5; ++row) {
        key(o, panel::kKeyOk);
        key(o, panel::kKeyOk);
        key(o, panel::kKeyRight);
    }
    EXPECT_EQ(image(), before);
    EXPECT_EQ(image16(ram::imageRecord(1) + ram::kImgAudio), 0) << "the sound stays off";
}

TEST_F(KeypadOnlyTouch, ValueFieldsOfTheSetupScreensTakeNoTouch)
{
    quality* q = openScreen(g_quality, kPageQuality);
    for (const char* name : {"lineEdit_bright", "lineEdit_Sharpness", "lineEdit_Contrast", "lineEdit_Saturation",
             "lineEdit_Reset"})
        expectFieldIgnoresTouches(q->findChild<QLineEdit*>(name));
    EXPECT_EQ(request(), 0) << "a touch on Reset resets nothing";
    key(q, panel::kKeyBack);

    temperature* t = openScreen(g_temperature, kPageTemperature);
    for (const char* name : {"lineEdit_name_red", "lineEdit_name_green", "lineEdit_name_blue"})
        expectFieldIgnoresTouches(t->findChild<QLineEdit*>(name));
    key(t, panel::kKeyBack);

    netset* n = openScreen(g_netset, kPageNetset);
    for (const char* name : {"x_lineEdit", "y_lineEdit", "w_lineEdit", "h_lineEdit"})
        expectFieldIgnoresTouches(n->findChild<QLineEdit*>(name));
}

TEST_F(KeypadOnlyTouch, TheImageScreensListsAndFieldsTakeNoTouch)
{
    mainWindow();
    g_imagelayout = new ImageLayout(nullptr);
    g_page_focus = kPageImageLayout;
    g_imagelayout->show();
    expectListIgnoresTouches(g_imagelayout->findChild<QComboBox*>("comboBox_P2P"));
    for (const char* name : {"lineEdit_X", "lineEdit_Y", "lineEdit_W", "lineEdit_H"})
        expectFieldIgnoresTouches(g_imagelayout->findChild<QLineEdit*>(name));
    key(g_imagelayout, panel::kKeyBack);

    // The user-mode screen's slot list: the slot shown and the one the keys
    // act on stay together.
    g_custommode = new CustomMode(nullptr);
    g_page_focus = kPageCustomMode;
    g_custommode->show();
    key(g_custommode, panel::kKeyRight);
    key(g_custommode, panel::kKeyRight);
    QComboBox* modeList = g_custommode->findChild<QComboBox*>("vyxcontrol");
    ASSERT_NE(modeList, nullptr);
    ASSERT_EQ(g_mode_select.load(), 2);
    ASSERT_EQ(modeList->currentIndex(), 2);
    const std::vector<uint8_t> before = image();
    expectListIgnoresTouches(modeList);
    EXPECT_EQ(g_mode_select.load(), 2);
    EXPECT_EQ(image(), before);
    key(g_custommode, panel::kKeyRight);
    EXPECT_EQ(modeList->currentIndex(), 3);
}
