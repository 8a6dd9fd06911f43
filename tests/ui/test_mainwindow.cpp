// The main window driven as a person drives it, by key releases: the focus
// ring and its contexts, the tools and what they write into the parameter
// image, the user-mode grid and the check mark that follows it.
#include "tests/support/panel_fixture.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include "ui/shell/lockwindow.h"
#include "ui/shell/screen_styles.h"

using namespace ram;
using paneltest::key;

namespace {

class MainWindowTest : public PanelTest {
protected:
    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(name); }
    QString png(const char* name) const { return button(name)->property("png").toString(); }
    // Opens the tools column from the menu ring: left to `tools`, OK.
    void openTools()
    {
        key(window, panel::kKeyLeft);
        key(window, panel::kKeyOk);
    }
    // The grid buttons of the grid now shown.
    QPushButton* slotButton(int slot) const { return window->grid()->findChild<QPushButton*>(QString::number(slot)); }
};

} // namespace

TEST_F(MainWindowTest, FocusRingWrapsAndChangesContext)
{
    mainWindow();
    EXPECT_EQ(window->focused(), button("machinestate"));
    EXPECT_EQ(button("machinestate")->styleSheet(), style::kLargeFocused);

    // Left from the first item: the last, `tools`, a small button.
    key(window, panel::kKeyLeftLetter);
    EXPECT_EQ(window->focused(), button("tools"));
    EXPECT_EQ(button("tools")->styleSheet(), style::kSmallFocused);
    EXPECT_EQ(button("machinestate")->styleSheet(), style::kLargeNormal);
    key(window, panel::kKeyRight);
    EXPECT_EQ(window->focused(), button("machinestate"));

    // OK on `tools`: the tools column with the focus on the first tool.
    key(window, panel::kKeyLeft);
    key(window, panel::kKeyOkLetter);
    EXPECT_FALSE(window->findChild<QWidget*>("widget")->isHidden());
    EXPECT_EQ(window->focused(), button("toolButton1"));
    EXPECT_EQ(button("toolButton1")->styleSheet(), style::kSmallFocused);
    key(window, panel::kKeyLeft); // wraps within the four tools
    EXPECT_EQ(window->focused(), button("toolButton4"));

    // Back hides the column and leaves the focus on `tools`.
    key(window, panel::kKeyBackLetter);
    EXPECT_TRUE(window->findChild<QWidget*>("widget")->isHidden());
    EXPECT_EQ(window->focused(), button("tools"));
    EXPECT_EQ(button("toolButton4")->styleSheet(), style::kSmallNormal);

    // Back at the top level: the standby screen over the main window.
    key(window, panel::kKeyBack);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLockWindow);
    EXPECT_TRUE(g_lockwindow->isVisible());
}

TEST_F(MainWindowTest, LedOffTogglesTheWordAndRaisesARequestEachTime)
{
    mainWindow();
    openTools();
    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kLedOff), 1);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(png("toolButton1"), ":/png/en_closeled.png");

    serveRequest();
    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kLedOff), 0);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(png("toolButton1"), ":/png/en_uncloseled.png");
}

TEST_F(MainWindowTest, MuteWithAnAudioIndexOutOfRangeActsOnImageZero)
{
    setImage16(kAudioImage, 7);
    setImage16(imageRecord(0) + kImgAudio, 0x0000);
    mainWindow();
    openTools();
    key(window, panel::kKeyRight);
    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kAudioImage), 0);
    EXPECT_EQ(image16(imageRecord(0) + kImgAudio), 0x80FF);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(png("toolButton2"), ":/png/en_unslience.png");

    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(imageRecord(0) + kImgAudio), 0x0000);
    EXPECT_EQ(png("toolButton2"), ":/png/en_slience.png");
}

TEST_F(MainWindowTest, LockWordGoesTwoOneZeroWithoutARequest)
{
    setImage16(kPanelLock, 2);
    mainWindow();
    key(window, panel::kKeyLeft);
    key(window, panel::kKeyLeft); // Button_lock
    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kPanelLock), 1);
    EXPECT_EQ(png("Button_lock"), ":/png/lock.png");
    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kPanelLock), 0);
    EXPECT_EQ(png("Button_lock"), ":/png/unlock.png");
    EXPECT_EQ(request(), 0);
}

TEST_F(MainWindowTest, AnOddLockWordLeftByThePcUnlocksAndShowsTheUnlockedIcon)
{
    setImage16(kPanelLock, 3);
    mainWindow();
    window->on_Button_lock_clicked();
    EXPECT_EQ(image16(kPanelLock), 0);
    EXPECT_EQ(png("Button_lock"), ":/png/unlock.png");
}

TEST_F(MainWindowTest, SaveGridWrapsAndAsksForTheSlotOnce)
{
    mainWindow();
    openTools();
    key(window, panel::kKeyLeft); // toolButton4, save
    key(window, panel::kKeyOk);
    EXPECT_EQ(window->grid_cursor(), 0);
    key(window, panel::kKeyLeft);
    EXPECT_EQ(window->grid_cursor(), 15);
    key(window, panel::kKeyRight);
    EXPECT_EQ(window->grid_cursor(), 0);
    for (int i = 0; i < 4; ++i)
        key(window, panel::kKeyRight);
    EXPECT_EQ(window->grid_cursor(), 4);

    key(window, panel::kKeyOk);
    EXPECT_EQ(image16(kModeSaveRequest), 5);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(window->pending_notice, 1);
    // The grid is open again for saving, slot 4 still empty until the
    // dispatcher stores it.
    ASSERT_NE(window->grid(), nullptr);
    EXPECT_TRUE(window->grid()->isVisible());
    EXPECT_EQ(g_mode[4]->styleSheet(), "background-color: #00D65B;border-radius:5px;");

    // A second press on the pending slot asks nothing more.
    serveRequest();
    slotButton(4)->click();
    EXPECT_EQ(request(), 0);

    // Only one grid is left once the deletes run.
    paneltest::flushDeferredDeletes();
    int grids = 0;
    for (QWidget* child : window->findChildren<QWidget*>("widget_mode", Qt::FindDirectChildrenOnly))
        grids += child != nullptr;
    EXPECT_EQ(grids, 1);
}

TEST_F(MainWindowTest, CallCopiesTheSlotAndTheNextRefreshShowsOneCheckMark)
{
    saveSlot(2, 0x5C);
    saveSlot(9, 0x11);
    takeSnapshot();
    mainWindow();
    openTools();
    key(window, panel::kKeyLeft);
    key(window, panel::kKeyLeft); // toolButton3, call
    key(window, panel::kKeyOk);
    EXPECT_EQ(window->grid_cursor(), 2);
    EXPECT_EQ(png("toolButton3"), ":/png/en_call.png");
    key(window, panel::kKeyRight);
    EXPECT_EQ(window->grid_cursor(), 9);
    key(window, panel::kKeyRight); // wraps to the first saved slot
    EXPECT_EQ(window->grid_cursor(), 2);

    key(window, panel::kKeyOk);
    for (int a = kModeStart; a < kImageSize; ++a)
        ASSERT_EQ(loadShared(store->ram_para + a), 0x5C) << a;
    EXPECT_EQ(image16(kCurrentMode), 3);
    EXPECT_EQ(image16(kModeSaveRequest), 0);
    EXPECT_EQ(request(), 1);

    // The scaler's refresh reaches the main window on page 1: one check mark.
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(notices, std::vector<int>{kNoticeDone});
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(MainWindowTest, TheCurrentModesWordStaysClearOfTheCursorsBorderInEveryLanguage)
{
    saveSlot(2, 0x5C);
    setImage16(kCurrentMode, 3);
    takeSnapshot();
    g_lcd_lang_valid = 0x1F;
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        mainWindow();
        window->on_tools_clicked();
        window->on_toolButton3_clicked(); // the call grid, its cursor on slot 2
        ASSERT_EQ(window->grid_cursor(), 2);
        QLabel* word = nullptr;
        for (QLabel* label : g_mode[2]->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                word = label;
        ASSERT_NE(word, nullptr) << language;
        // The cursor's border covers 2 pixels of each side of the 50-pixel slot.
        EXPECT_GE(word->x(), 2) << language;
        EXPECT_LE(word->geometry().right(), 47) << language;
        EXPECT_LE(QFontMetrics(word->font()).horizontalAdvance(word->text()), word->width())
            << language << " " << word->text().toStdString();
        window->mode_window_close();
    }
}

TEST_F(MainWindowTest, CallWithNoSavedSlotKeepsTheCursorAtZero)
{
    mainWindow();
    window->on_tools_clicked();
    window->on_toolButton3_clicked();
    EXPECT_EQ(window->grid_cursor(), 0);
    EXPECT_EQ(png("toolButton3"), ":/png/en_uncall.png");
    key(window, panel::kKeyRight);
    key(window, panel::kKeyLeft);
    EXPECT_EQ(window->grid_cursor(), 0);
    // An empty slot copies nothing; the grid stays open for calling.
    slotButton(0)->click();
    EXPECT_EQ(request(), 0);
    EXPECT_EQ(image16(kCurrentMode), 0);
    EXPECT_TRUE(window->grid()->isVisible());

    // Back leaves the grid, then the column.
    key(window, panel::kKeyBack);
    EXPECT_FALSE(window->grid()->isVisible());
    EXPECT_EQ(png("toolButton3"), ":/png/en_uncall.png");
}

TEST_F(MainWindowTest, TouchOnToolsClosesColumnAndGridAtOnce)
{
    mainWindow();
    window->on_tools_clicked();
    window->on_toolButton4_clicked();
    ASSERT_TRUE(window->grid()->isVisible());
    button("tools")->click();
    EXPECT_EQ(window->grid(), nullptr);
    EXPECT_TRUE(window->findChild<QWidget*>("widget")->isHidden());
    EXPECT_EQ(window->focused(), button("tools"));
}

TEST_F(MainWindowTest, RefreshRedrawsIconsOnlyWhenTheirWordsChanged)
{
    takeSnapshot();
    mainWindow();
    g_str_ip = QStringLiteral("10.0.0.9");
    setImage16(kLedOff, 1); // as the PC would, without the snapshot
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(png("toolButton1"), ":/png/en_closeled.png");
    EXPECT_EQ(window->findChild<QWidget*>("label_IPaddr")->property("text").toString(), "10.0.0.9");
}

TEST_F(MainWindowTest, LanguageNotOfferedFallsBackToEnglishTextsAndIcons)
{
    g_language = panel::kRussian;
    g_lcd_lang_valid = 0x1B; // Russian's bit clear
    mainWindow();
    EXPECT_EQ(png("option"), ":/png/en_option.png");
    EXPECT_EQ(button("inputchoose")->iconSize(), QSize(90, 64));
    window->on_tools_clicked();
    window->on_toolButton4_clicked();
    EXPECT_EQ(window->grid()->findChild<QLabel*>()->text(), "User mode save");

    g_lcd_lang_valid = 0x1F;
    window->language_changed();
    EXPECT_EQ(png("option"), ":/png/ru_option.png");
    EXPECT_EQ(button("inputchoose")->iconSize(), QSize(96, 76));
    g_language = panel::kChinese;
    window->language_changed();
    EXPECT_EQ(png("option"), ":/png/option.png");
    EXPECT_EQ(png("toolButton4"), ":/png/unsave.png");
}
