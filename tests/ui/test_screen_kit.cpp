// The pieces every screen is built from: key roles, the language of texts
// and icons, the scaler write guard, the focus ring, and the calls other
// threads hand to the GUI thread.
#include "tests/support/panel_fixture.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <pthread.h>
#include <thread>

#include "ui/shell/option.h"

using namespace ram;

namespace {
using ScreenKit = PanelTest;
} // namespace

TEST_F(ScreenKit, EachRoleHasAFunctionKeyAndALetter)
{
    using panel::KeyRole;
    const struct {
        int key;
        KeyRole role;
    } cases[] = {{0x01000035, KeyRole::Ok}, {'Q', KeyRole::Ok}, {0x010000B7, KeyRole::Back}, {'O', KeyRole::Back},
        {0x01000033, KeyRole::Left}, {'S', KeyRole::Left}, {0x01000034, KeyRole::Right}, {'R', KeyRole::Right},
        {0x01000063, KeyRole::Mode}, {'M', KeyRole::Mode}, {'B', KeyRole::None}, {Qt::Key_Escape, KeyRole::None}};
    for (const auto& c : cases)
        EXPECT_EQ(panel::key_role(c.key), c.role) << std::hex << c.key;
}

TEST_F(ScreenKit, ALanguageIsUsedOnlyWhenOfferedElseEnglish)
{
    const panel::Tr5 texts{"设置", "Setting", "Настройки", "Cài đặt", "設置"};
    const struct {
        int language;
        uint32_t offered;
        const char* text;
        const char* icon;
    } cases[] = {
        {panel::kRussian, 0x1B, "Setting", ":/png/en_option.png"},
        {panel::kRussian, 0x1F, "Настройки", ":/png/ru_option.png"},
        {panel::kVietnamese, 0x08, "Cài đặt", ":/png/vn_option.png"},
        {panel::kChinese, 0x1F, "设置", ":/png/option.png"},
        {panel::kTraditional, 0x10, "設置", ":/png/tn_option.png"},
        {panel::kEnglish, 0x00, "Setting", ":/png/en_option.png"},
        {panel::kChinese, 0x1E, "Setting", ":/png/en_option.png"},
        {7, 0xFF, "Setting", ":/png/en_option.png"},
    };
    for (const auto& c : cases) {
        g_language = uint8_t(c.language);
        g_lcd_lang_valid = c.offered;
        EXPECT_EQ(panel::text(texts), QString::fromUtf8(c.text)) << c.language << " " << c.offered;
        EXPECT_EQ(panel::png("option"), c.icon);
    }
    EXPECT_EQ(panel::png_plain("lock"), ":/png/lock.png");
}

TEST_F(ScreenKit, ScalerWriteRaisesInsideTheHoldAndKeepsAPendingTwo)
{
    panel::scaler_write([](panel::ScalerWrite& w) { w.put16(kBrightness, 0x1234); });
    EXPECT_EQ(image16(kBrightness), 0x1234);
    EXPECT_EQ(request(), 1);
    // Released again: another writer (the scaler thread) gets the lock.
    ASSERT_EQ(pthread_mutex_trylock(&scaler->para_mutex), 0);
    pthread_mutex_unlock(&scaler->para_mutex);

    // A pending factory-reset request is never lowered to a plain apply.
    scaler->para_changed = 2;
    panel::scaler_write([](panel::ScalerWrite& w) { w.put8(kTestPattern, 3); });
    EXPECT_EQ(request(), 2);
    EXPECT_EQ(loadShared(store->ram_para + kTestPattern), 3);

    // While a writer holds it, the guard waits.
    serveRequest();
    pthread_mutex_lock(&scaler->para_mutex);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        panel::scaler_write([](panel::ScalerWrite& w) { w.put16(kContrast, 77); });
        written = true;
    });
    QThread::msleep(20);
    EXPECT_FALSE(written.load());
    EXPECT_EQ(request(), 0);
    pthread_mutex_unlock(&scaler->para_mutex);
    writer.join();
    EXPECT_EQ(image16(kContrast), 77);
    EXPECT_EQ(request(), 1);
}

TEST_F(ScreenKit, FocusRingWrapsBothWaysAndStylesOnlyTheFocusedItem)
{
    QWidget parent;
    QLabel a(&parent), b(&parent), c(&parent);
    uint8_t ui_select = 0;
    panel::FocusRing ring(ui_select);
    ring.set({&a, &b, &c}, "normal", "focused");
    ring.start(0);
    ring.move(-1);
    EXPECT_EQ(ui_select, 2);
    EXPECT_EQ(ring.current(), &c);
    EXPECT_EQ(a.styleSheet(), "normal");
    EXPECT_EQ(c.styleSheet(), "focused");
    ring.move(+1);
    EXPECT_EQ(ui_select, 0);
    EXPECT_EQ(a.styleSheet(), "focused");
    EXPECT_EQ(c.styleSheet(), "normal");
}

TEST_F(ScreenKit, MenuRingWrapsFromLastToFirst)
{
    mainWindow();
    ModalDriver drive;
    drive.then([&] {
        QWidget* first = g_option->findChild<QWidget*>("output_set");
        QWidget* last = g_option->findChild<QWidget*>("AdvanceButton");
        paneltest::key(g_option, panel::kKeyLeft);
        EXPECT_TRUE(last->styleSheet().contains("solid rgb(255,171,84)"));
        EXPECT_FALSE(first->styleSheet().contains("solid rgb(255,171,84)"));
        paneltest::key(g_option, panel::kKeyRight);
        EXPECT_TRUE(first->styleSheet().contains("solid rgb(255,171,84)"));
        paneltest::key(g_option, panel::kKeyBack);
    });
    drive.run([&] { window->on_option_clicked(); });
}

TEST_F(ScreenKit, CallsFromOtherThreadsRunInTheGuiThreadAndCheckTheScreenThere)
{
    mainWindow();
    QThread* gui = QThread::currentThread();
    std::vector<QThread*> ranIn;
    screen_hooks::Hook previous
        = screen_hooks::set(ScreenHook::FirmwareUpdateStart, [&] { ranIn.push_back(QThread::currentThread()); });
    std::thread pcLink([] { MainWindow::post_update_start(); });
    pcLink.join();
    EXPECT_TRUE(ranIn.empty()); // not in the calling thread
    ASSERT_TRUE(waitFor([&] { return !ranIn.empty(); }));
    EXPECT_EQ(ranIn.front(), gui);
    screen_hooks::set(ScreenHook::FirmwareUpdateStart, previous);

    // A screen closed (or no longer on top) before the call arrives is left
    // alone.
    int calls = 0;
    ModalDriver drive;
    drive
        .then([&] {
            std::thread usb([&] { panel::post_to_screen<Option>(g_option, kPageOption, [&](Option*) { ++calls; }); });
            usb.join();
        })
        .then([] {}) // the first arrives while the menu is on top
        .then([&] {
            EXPECT_EQ(calls, 1);
            std::thread usb([&] { panel::post_to_screen<Option>(g_option, kPageOption, [&](Option*) { ++calls; }); });
            usb.join();
            paneltest::key(g_option, panel::kKeyBack);
        });
    drive.run([&] { window->on_option_clicked(); });
    pumpEvents();
    EXPECT_EQ(calls, 1);
}

TEST_F(ScreenKit, AScreenServesItsHooksOnlyWhileItIsOpen)
{
    mainWindow();
    QString title;
    ModalDriver drive;
    drive
        .then([&] {
            // The PC file handler re-texts the menu from its own thread.
            g_language = panel::kChinese;
            std::thread pc([] { screen_hooks::post(ScreenHook::OptionLanguageChanged, kPageOption); });
            pc.join();
        })
        .then([] {})
        .then([&] {
            title = g_option->findChild<QLabel*>("label_title")->text();
            paneltest::key(g_option, panel::kKeyBack);
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_EQ(title, QString::fromUtf8("设置"));
    paneltest::flushDeferredDeletes();
    // Closed: the hook is empty again, a late call does nothing.
    g_page_focus = kPageOption;
    screen_hooks::run(ScreenHook::OptionLanguageChanged);
    EXPECT_EQ(screen_hooks::set(ScreenHook::OptionLanguageChanged, nullptr), nullptr);
}

// A screen closed while modal children run for it (a PC command inside the
// child's loop): the child closes with it, and the screen outlives every
// guard, so the handlers that opened the children return to a live object.
TEST_F(ScreenKit, AGuardedScreenClosesWithItsChildAndIsDeletedAfterTheLastGuard)
{
    QPointer<QDialog> screen = new QDialog;
    QPointer<QDialog> child = new QDialog;
    screen->show();
    child->show();
    {
        panel::ScreenGuard outer(screen);
        {
            panel::ScreenGuard inner(screen, child);
            panel::close_screen(screen);
            EXPECT_FALSE(screen->isVisible());
            EXPECT_FALSE(child->isVisible());
            paneltest::flushDeferredDeletes();
            EXPECT_FALSE(screen.isNull());
        }
        paneltest::flushDeferredDeletes();
        EXPECT_FALSE(screen.isNull()) << "the outer guard still holds it";
    }
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(screen.isNull());
    ASSERT_FALSE(child.isNull()) << "the child is closed, not deleted";
    delete child;

    // A guard dropped without a close leaves the screen; an unguarded close
    // deletes it at the next deferred delete, as before.
    QPointer<QDialog> other = new QDialog;
    { panel::ScreenGuard guard(other); }
    paneltest::flushDeferredDeletes();
    ASSERT_FALSE(other.isNull());
    panel::close_screen(other);
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(other.isNull());
}

TEST_F(ScreenKit, AddressTextsAreReadWholeWhileALinkReplacesThem)
{
    mainWindow();
    const QString a = QStringLiteral("192.168.0.199"), b = QStringLiteral("10.20.30.40");
    g_str_ip = a;
    std::atomic<bool> stop{false};
    std::thread link([&] {
        for (int i = 0; !stop; ++i) {
            g_str_ip = (i % 2) ? a : b;
            g_str_barcode = (i % 2) ? QStringLiteral("SN-1") : QStringLiteral(" ");
        }
    });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        window->ip_changed();
        const QString seen = g_str_ip;
        torn += seen != a && seen != b;
    }
    stop = true;
    link.join();
    EXPECT_EQ(torn, 0);
}
