// The screen stack with real nested modal loops: opening and backing out,
// the mode key that closes a whole chain, the standby screen's ways out,
// and keys that must not close a dialog by themselves.
#include "tests/support/panel_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <thread>

#include "ui/image/custommode.h"
#include "ui/setup/ledset.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"

using paneltest::key;

namespace {
using Navigation = PanelTest;
} // namespace

TEST_F(Navigation, BackFromASecondLevelScreenReturnsOneLevelAtATime)
{
    mainWindow();
    ModalDriver drive;
    drive
        .then([&] {
            ASSERT_NE(g_option, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageOption);
            key(g_option, panel::kKeyOk); // output_set: the output menu, modal
        })
        .then([&] {
            ASSERT_NE(g_outputset, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageOutputSet);
            key(g_outputset, panel::kKeyBackLetter);
        })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageOption);
            EXPECT_EQ(g_outputset, nullptr);
            EXPECT_NE(g_option, nullptr);
            key(g_option, panel::kKeyBack);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_option, nullptr);
}

TEST_F(Navigation, ModeKeyThreeScreensDeepClosesThemAllAndShowsTheUserModes)
{
    mainWindow();
    QPointer<Option> option;
    QPointer<OutputSet> output;
    QPointer<ledset> led;
    ModalDriver drive;
    drive
        .then([&] {
            option = g_option;
            key(g_option, panel::kKeyOk);
        })
        .then([&] {
            output = g_outputset;
            key(g_outputset, panel::kKeyOk); // Button_ledset
        })
        .then([&] {
            led = g_ledset;
            ASSERT_NE(g_ledset, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageLedset);
            // Three nested loops are running now; the mode key closes them all.
            key(g_ledset, panel::kKeyModeLetter);
            EXPECT_EQ(g_ledset, nullptr);
            EXPECT_EQ(g_outputset, nullptr);
            EXPECT_EQ(g_option, nullptr);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);
    ASSERT_NE(g_custommode, nullptr);
    EXPECT_TRUE(g_custommode->isVisible());
    EXPECT_TRUE(window->isVisible());
    // The closed screens go once the loops have unwound.
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(option.isNull());
    EXPECT_TRUE(output.isNull());
    EXPECT_TRUE(led.isNull());

    // Opened by the mode key, the user-mode screen backs out to standby.
    key(g_custommode, panel::kKeyBack);
    EXPECT_EQ(g_custommode, nullptr);
    EXPECT_EQ(g_mode_shortcut_key.load(), 0);
    EXPECT_EQ(g_page_focus.load(), kPageLockWindow);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_TRUE(g_lockwindow->isVisible());
}

TEST_F(Navigation, LockedPanelDropsTheModeKeyAndTheGlobalKeys)
{
    mainWindow();
    setImage16(ram::kPanelLock, 1);
    const uint16_t source = image16(ram::imageRecord(0) + ram::kImgSource);
    ModalDriver drive;
    drive.then([&] {
        key(g_option, panel::kKeyMode);
        key(g_option, 'K');
        EXPECT_NE(g_option, nullptr);
        EXPECT_EQ(g_page_focus.load(), kPageOption);
        key(g_option, panel::kKeyBack); // navigation still works
    });
    drive.run([&] { window->on_option_clicked(); });
    key(window, panel::kKeyModeLetter);
    EXPECT_EQ(g_custommode, nullptr);
    EXPECT_EQ(g_mode_shortcut_key.load(), 0);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(image16(ram::imageRecord(0) + ram::kImgSource), source);
    EXPECT_EQ(request(), 0);
}

TEST_F(Navigation, ModeKeyOnTheMainWindowOpensTheUserModesOverIt)
{
    mainWindow();
    key(window, panel::kKeyMode);
    ASSERT_NE(g_custommode, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_EQ(g_mode_shortcut_key.load(), 1);

    // From the menu button the flag stays clear, and back returns here.
    key(g_custommode, panel::kKeyBack);
    g_mode_shortcut_key = 0;
    window->on_custommode_clicked();
    key(g_custommode, panel::kKeyBack);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_custommode, nullptr);
}

TEST_F(Navigation, StandbyLeavesOnOkOnTouchAndOnItsButtonOnly)
{
    mainWindow();
    auto standby = [&] {
        g_lockwindow = new LockWindow(nullptr);
        g_page_focus = kPageLockWindow;
        g_lockwindow->show();
        return g_lockwindow;
    };

    QPointer<LockWindow> first = standby();
    key(first, panel::kKeyRight);
    key(first, 'B');
    EXPECT_EQ(g_lockwindow, first.data());
    key(first, panel::kKeyOkLetter);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_lockwindow, nullptr);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(first.isNull());

    LockWindow* second = standby();
    paneltest::touch(second->findChild<QWidget*>("widget"), QPoint(30, 200));
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(g_lockwindow, nullptr);

    // An older standby screen deleted late leaves a newer one's pointer.
    LockWindow* third = standby();
    paneltest::flushDeferredDeletes();
    EXPECT_EQ(g_lockwindow, third);

    // The mode key leaves standby for the user modes.
    key(third, panel::kKeyMode);
    EXPECT_EQ(g_lockwindow, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
}

TEST_F(Navigation, NoKeyClosesADialogByItself)
{
    mainWindow();
    ModalDriver drive;
    drive.then([&] {
        // A PC keyboard's Escape and Enter reach the dialog unmapped here.
        key(g_option, Qt::Key_Escape);
        key(g_option, Qt::Key_Return);
        EXPECT_TRUE(g_option->isVisible());
        EXPECT_EQ(g_page_focus.load(), kPageOption);
        key(g_option, panel::kKeyBack);
    });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_option, nullptr);
}

TEST_F(Navigation, RefreshFromAnotherThreadReachesOnlyTheScreenOnTop)
{
    mainWindow();
    putLe16(store->ram_para + ram::kLanguage, panel::kEnglish);
    takeSnapshot();
    ModalDriver drive;
    drive
        .then([&] {
            // The language changes while the settings menu is on top.
            putLe16(store->ram_para + ram::kLanguage, panel::kChinese);
            std::thread worker([&] { store->test_signal(kChangeRefresh); });
            worker.join();
        })
        .then([] {}) // the queued refresh arrives
        .then([&] {
            EXPECT_EQ(g_option->findChild<QLabel*>("label_title")->text(), QString::fromUtf8("设置"));
            // The main window underneath is re-texted only on the way back.
            EXPECT_EQ(window->findChild<QWidget*>("option")->property("png").toString(), ":/png/en_option.png");
            key(g_option, panel::kKeyBack);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_EQ(window->findChild<QWidget*>("option")->property("png").toString(), ":/png/option.png");
}
