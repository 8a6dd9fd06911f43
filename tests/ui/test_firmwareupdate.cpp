// The "do not power off" dialog of a firmware upgrade: started and ended
// from the upgrade's own thread it lives and dies in the GUI thread, once;
// the tick bobs its picture and counts its dots.
#include "tests/ui/widgets_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <thread>

#include "core/globals.h"
#include "ui/image/custommode.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"

namespace {

class UpdateDialog : public WithMainWindow {
protected:
    static int dialogs()
    {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<FirmwareUpdate*>(w) != nullptr;
        return n;
    }
    static QLabel* text() { return g_move_update->findChild<QLabel*>("label_text"); }
    static QLabel* picture() { return g_move_update->findChild<QLabel*>("label_picture"); }
    // The main window shown, and the dialog over it.
    bool upOverTheMainWindow()
    {
        window->show();
        pumpEvents();
        firmware_update_start();
        pumpEvents();
        return g_move_update != nullptr;
    }
    // Ticks of the main window until G_timeTicks reaches `until`.
    void tickTo(uint32_t until)
    {
        while (G_timeTicks.load() < until)
            window->slot_update_timer_ticks();
    }
};

// The panel windows raised while it lives, in order.
struct WindowRaises : QObject {
    WindowRaises() { qApp->installEventFilter(this); }
    ~WindowRaises() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ZOrderChange && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            order.push_back(watched);
        return false;
    }
    // Once the events are in, `window` has the keys and the dialog was
    // raised last; `window` itself was raised too when `shown`, and not when
    // uncovered where it lay. The order starts anew.
    bool keysUnderDialog(QWidget* window, bool shown)
    {
        pumpEvents();
        if (!window)
            return false;
        const char* name = window->metaObject()->className();
        EXPECT_EQ(QApplication::activeWindow(), window) << name;
        EXPECT_EQ(std::find(order.begin(), order.end(), window) != order.end(), shown) << name;
        EXPECT_TRUE(!order.empty() && order.back() == g_move_update) << name;
        order.clear();
        return true;
    }
    // `window` has the keys; the order starts anew from here.
    bool from(QWidget* window)
    {
        pumpEvents();
        EXPECT_EQ(QApplication::activeWindow(), window);
        order.clear();
        return window && QApplication::activeWindow() == window;
    }
    // A pop-up run modally by `open`, with the keys while it is up, then
    // ended by `end`.
    template <class Open, class End>
    void popUp(QWidget* popUp, Open&& open, End&& end)
    {
        ModalDriver driver;
        driver.then([&] {
            from(popUp);
            end();
        });
        driver.run(open);
        EXPECT_FALSE(driver.timedOut());
    }

    std::vector<QObject*> order;
};

} // namespace

TEST_F(UpdateDialog, StartedAndEndedFromAnotherThreadLivesInTheGuiThread)
{
    std::thread upgrade([] {
        MainWindow::post_update_start();
        MainWindow::post_update_start(); // a second start: the same dialog
    });
    upgrade.join();
    EXPECT_EQ(g_move_update, nullptr); // nothing made in the upgrade's thread
    pumpEvents();
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_EQ(dialogs(), 1);
    EXPECT_EQ(g_move_update->thread(), QThread::currentThread());
    EXPECT_TRUE(g_move_update->isVisible());
    EXPECT_FALSE(g_move_update->isModal());
    EXPECT_EQ(g_move_update->size(), QSize(320, 240));
    EXPECT_TRUE(g_move_update->testAttribute(Qt::WA_DeleteOnClose));
    QPointer<FirmwareUpdate> shown = g_move_update;

    // The free functions too, called straight from another thread.
    std::thread end([] { firmware_update_over(); });
    end.join();
    EXPECT_EQ(g_move_update, shown.data());
    pumpEvents();
    EXPECT_EQ(g_move_update, nullptr);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(shown.isNull());

    std::thread again([] {
        firmware_update_over(); // none shown: nothing
        firmware_update_start();
    });
    again.join();
    pumpEvents();
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_EQ(g_move_update->thread(), QThread::currentThread());
    EXPECT_EQ(dialogs(), 1);
}

TEST_F(UpdateDialog, TextCentredWithADotMoreEverySecond)
{
    firmware_update_start();
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_EQ(text()->text(), "Updating ");
    EXPECT_EQ(text()->geometry(), QRect(92, 200, 135, 17));
    EXPECT_EQ(text()->styleSheet(), "color: #FFFFFF;font: 13px");

    g_update_flag = 1;
    const char* const dots[] = {"Updating .", "Updating ..", "Updating ...", "Updating ."};
    for (int step = 0; step < 4; ++step) {
        tickTo(100 * uint32_t(step + 1) - 1);
        tickTo(100 * uint32_t(step + 1));
        EXPECT_EQ(text()->text(), dots[step]) << step;
        const int width = 13 * int(text()->text().size());
        EXPECT_EQ(text()->geometry(), QRect((320 - width) / 2, 200, width, 17)) << step;
    }

    // A language change shows at the next dots step.
    g_language = panel::kChinese;
    tickTo(499);
    EXPECT_EQ(text()->text(), "Updating .");
    tickTo(500);
    EXPECT_EQ(text()->text(), QString::fromUtf8("升级中，请勿断电 .."));
    EXPECT_EQ(text()->geometry(), QRect(88, 200, 143, 17));

    // Built in Chinese, Traditional Chinese, and Russian (English line).
    struct Case {
        int language;
        const char* line;
        QRect place;
    };
    const Case cases[] = {{panel::kChinese, "升级中，请勿断电 ", QRect(101, 200, 117, 17)},
                          {panel::kTraditional, "昇級中，請勿斷電 ", QRect(101, 200, 117, 17)},
                          {panel::kRussian, "Updating ", QRect(92, 200, 135, 17)}};
    for (const Case& c : cases) {
        g_language = uint8_t(c.language);
        firmware_update_over();
        firmware_update_start();
        EXPECT_EQ(text()->text(), QString::fromUtf8(c.line)) << c.language;
        EXPECT_EQ(text()->geometry(), c.place) << c.language;
    }
    g_lcd_lang_valid = 0x0E; // Chinese not offered
    g_language = panel::kChinese;
    firmware_update_over();
    firmware_update_start();
    EXPECT_EQ(text()->text(), "Updating ");
}

// Windows shown while the dialog is up may cover it; a second start brings
// it back over them. It takes the keys only when no modal screen holds them:
// under the USB upgrade screen that screen's back must keep working.
TEST_F(UpdateDialog, StartedAgainComesBackInFront)
{
    struct Raised : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            count += event->type() == QEvent::ZOrderChange;
            return false;
        }
    };

    firmware_update_start();
    ASSERT_NE(g_move_update, nullptr);
    QWidget later;
    later.show();
    pumpEvents();
    ASSERT_EQ(QApplication::activeWindow(), &later);
    Raised raised;
    g_move_update->installEventFilter(&raised);
    firmware_update_start();
    pumpEvents();
    EXPECT_GE(raised.count, 1);
    EXPECT_EQ(QApplication::activeWindow(), &later);

    PanelDialog screen;
    ModalDriver drive;
    drive.then([&] {
        pumpEvents();
        ASSERT_EQ(QApplication::activeWindow(), &screen);
        const int before = raised.count; // the screen's showing raised it already
        firmware_update_start();
        pumpEvents();
        EXPECT_GT(raised.count, before);
        EXPECT_EQ(QApplication::activeWindow(), &screen);
        screen.hide();
    });
    drive.run([&] { screen.exec(); });
    EXPECT_FALSE(drive.timedOut());
}

// Every window shown while an upgrade runs comes under the dialog, which
// is raised again after it, and still takes the keys: the screens opened
// with a loop of their own and without, and the shared windows shown again
// over them.
TEST_F(UpdateDialog, StaysOverEveryWindowShownWhileItIsUp)
{
    WindowRaises raises;
    auto underDialogWithKeys = [&](QWidget* shown) { return raises.keysUnderDialog(shown, true); };
    ASSERT_TRUE(upOverTheMainWindow());

    // The standby screen (back on the main window), the user-mode screen
    // (the mode key there), the standby again (its back) and the main
    // window (OK there): each shown without a loop of its own.
    paneltest::key(window, panel::kKeyBack);
    ASSERT_TRUE(underDialogWithKeys(g_lockwindow));
    paneltest::key(g_lockwindow, panel::kKeyMode);
    ASSERT_TRUE(underDialogWithKeys(g_custommode));
    paneltest::key(g_custommode, panel::kKeyBack);
    ASSERT_TRUE(underDialogWithKeys(g_lockwindow));
    paneltest::key(g_lockwindow, panel::kKeyOk);
    EXPECT_TRUE(underDialogWithKeys(window));
    EXPECT_EQ(g_lockwindow, nullptr);

    // A screen run modally, and the number keyboard over it.
    ModalDriver drive;
    drive.then([&] {
        ASSERT_TRUE(underDialogWithKeys(g_option));
        ModalDriver keyboard;
        keyboard.then([&] {
            EXPECT_TRUE(underDialogWithKeys(g_numberkeyboard));
            g_numberkeyboard->hide();
        });
        keyboard.run([&] { panel::exec_for(g_option, g_numberkeyboard); });
        EXPECT_FALSE(keyboard.timedOut());
        g_option->hide();
    });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
}

// A screen or pop-up that closes over a window leaves that window under the
// dialog, where nothing else would give it the keys again (X gives them to
// the window under the pointer, the framebuffer to the top one: the
// dialog). Each road back hands them to it, raising nothing but the dialog:
// the back of a modal screen to the main window and to a menu, of the
// user-mode screen, the standby's touch, and the number keyboard and the
// pop-up notice closing.
TEST_F(UpdateDialog, EveryWindowUncoveredTakesTheKeysBackUnderIt)
{
    WindowRaises raises;
    auto keysBackUnderDialog = [&](QWidget* below) { return raises.keysUnderDialog(below, false); };
    ASSERT_TRUE(upOverTheMainWindow());

    // The settings menu, the output menu over it and back, the number
    // keyboard run for the menu, then the menu's back.
    ModalDriver drive;
    drive
        .then([&] {
            paneltest::key(g_option, panel::kKeyOk); // the output menu
        })
        .then([&] {
            raises.order.clear();
            paneltest::key(g_outputset, panel::kKeyBack);
        })
        .then([&] {
            EXPECT_TRUE(keysBackUnderDialog(g_option));
            raises.popUp(
                g_numberkeyboard, [&] { panel::exec_for(g_option, g_numberkeyboard); },
                [&] { g_numberkeyboard->hide(); });
            EXPECT_TRUE(keysBackUnderDialog(g_option));
            paneltest::key(g_option, panel::kKeyBack);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_TRUE(keysBackUnderDialog(window));

    // The user-mode screen opened from the main window, and its back.
    window->on_custommode_clicked();
    ASSERT_TRUE(raises.from(g_custommode));
    paneltest::key(g_custommode, panel::kKeyBack);
    EXPECT_TRUE(keysBackUnderDialog(window));

    // The standby screen left by a touch.
    paneltest::key(window, panel::kKeyBack);
    pumpEvents();
    ASSERT_NE(g_lockwindow, nullptr);
    ASSERT_TRUE(raises.from(g_lockwindow));
    QWidget* surface = g_lockwindow->childAt(160, 20);
    ASSERT_NE(surface, nullptr);
    paneltest::touch(surface);
    EXPECT_EQ(g_lockwindow, nullptr);
    EXPECT_TRUE(keysBackUnderDialog(window));

    // The notice over the main window, gone after its ticks.
    raises.popUp(
        g_tip, [&] { g_tip->tip_create(kNoticeDone); }, [&] { paneltest::ticks(300); });
    EXPECT_FALSE(g_tip->isVisible());
    EXPECT_TRUE(keysBackUnderDialog(window));
}

// The dialog has no page: the keys stay with the window that had them when
// it came, over a screen with a loop of its own or without, and a touch on
// it (which X answers by activating the window touched) does not take them.
TEST_F(UpdateDialog, TakesNoKeysWhenItComesNorWhenTouched)
{
    ASSERT_TRUE(upOverTheMainWindow());
    EXPECT_EQ(QApplication::activeWindow(), window);
    EXPECT_TRUE(g_move_update->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    paneltest::touch(g_move_update);
    pumpEvents();
    EXPECT_EQ(QApplication::activeWindow(), window);
    firmware_update_over();
    pumpEvents();

    ModalDriver drive;
    drive.then([&] {
        pumpEvents();
        ASSERT_EQ(QApplication::activeWindow(), g_option);
        firmware_update_start();
        pumpEvents();
        EXPECT_EQ(QApplication::activeWindow(), g_option);
        g_option->hide();
    });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
}

TEST_F(UpdateDialog, PictureBobsBetweenSixtyAndOneHundredSixteen)
{
    firmware_update_start();
    EXPECT_EQ(picture()->geometry(), QRect(128, 60, 64, 64));
    EXPECT_TRUE(picture()->hasScaledContents());
    EXPECT_EQ(picture()->property("png").toString(), ":/png/update.png");

    for (int i = 0; i < 56; ++i)
        g_move_update->handleTimerID1();
    EXPECT_EQ(picture()->y(), 116);
    g_move_update->handleTimerID1();
    EXPECT_EQ(picture()->y(), 115);
    for (int i = 0; i < 55; ++i)
        g_move_update->handleTimerID1();
    EXPECT_EQ(picture()->y(), 60);
    g_move_update->handleTimerID1();
    EXPECT_EQ(picture()->y(), 61);
    for (int i = 0; i < 1000; ++i) {
        g_move_update->handleTimerID1();
        ASSERT_GE(picture()->y(), 60);
        ASSERT_LE(picture()->y(), 116);
        ASSERT_EQ(picture()->x(), 128);
    }

    // Through the tick: one step on each even tick, none without the flag.
    firmware_update_over();
    firmware_update_start();
    tickTo(10);
    EXPECT_EQ(picture()->y(), 60);
    g_update_flag = 1;
    tickTo(20);
    EXPECT_EQ(picture()->y(), 65);

    // Closed: the tick goes on without it, before and after it is freed.
    firmware_update_over();
    EXPECT_EQ(g_move_update, nullptr);
    tickTo(30);
    paneltest::flushDeferredDeletes();
    tickTo(40);
}
