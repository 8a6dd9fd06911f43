// The settings menu and the four menus under it, driven by keys and touches
// through real nested modal loops: the focus rings, each item's screen and
// the way back to the same item, the mode key, the pictures by language,
// the check mark of the communication menu, a USB stick plugged in, and the
// advanced menu's recovery button and access code.
#include "tests/support/panel_fixture.h"
#include "tests/support/vyxfiles_tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "core/usbserver.h"
#include "fpga/fpga_manage.h"
#include "platform/platform.h"
#include "platform/uevent.h"
#include "remote/networkmanage.h"
#include "ui/image/custommode.h"
#include "ui/image/imagelayout.h"
#include "ui/image/inputcut.h"
#include "ui/rcvtools/firmware_usbgrade.h"
#include "ui/rcvtools/rcv_recovery.h"
#include "ui/rcvtools/smartmapping.h"
#include "ui/setup/factory.h"
#include "ui/setup/factoryage.h"
#include "ui/setup/lcdshow.h"
#include "ui/setup/ledset.h"
#include "ui/setup/linkcom.h"
#include "ui/setup/linkwlan.h"
#include "ui/setup/netset.h"
#include "ui/setup/othersetup.h"
#include "ui/setup/quality.h"
#include "ui/setup/temperature.h"
#include "ui/setup/test_chart.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/imagequality.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"

using paneltest::key;
using paneltest::touch;

namespace menutest {

// The object name of the one button of `screen` drawn with the focus
// frame; the names joined when several are, empty when none is.
QString focusedButton(QWidget* screen)
{
    QStringList names;
    for (QPushButton* b : screen->findChildren<QPushButton*>())
        if (b->styleSheet().contains(QLatin1String("solid rgb(255,171,84)")))
            names << b->objectName();
    return names.join(',');
}

QString styleOf(QWidget* screen, const char* button)
{
    return screen->findChild<QPushButton*>(QLatin1String(button))->styleSheet();
}

QString textOf(QWidget* screen, const char* label)
{
    return screen->findChild<QLabel*>(QLatin1String(label))->text();
}

// Expects `screen` on top with its page code, then presses its back key.
void backFrom(int page, QWidget* screen)
{
    EXPECT_EQ(g_page_focus.load(), page);
    ASSERT_NE(screen, nullptr) << "page " << page;
    EXPECT_TRUE(screen->isVisible());
    key(screen, panel::kKeyBack);
}

// One item of a menu: the button, the page of the screen it opens and that
// screen's global pointer.
struct Item {
    const char* button;
    int page;
    std::function<QWidget*()> screen;
};

template <class Screen>
std::function<QWidget*()> global(Screen*& pointer)
{
    Screen** where = &pointer;
    return [where]() -> QWidget* { return *where; };
}

// Steps for a menu on top: its ring wraps both ways, then each item is
// focused with the right key, opened with OK and left with the back key of
// its screen, after which the menu is on top again with that item focused.
void walkItems(ModalDriver& drive, const std::function<QWidget*()>& menu, int menuPage, const std::vector<Item>& items,
    const char* lastInRing)
{
    drive.then([=] {
        EXPECT_EQ(focusedButton(menu()), items.front().button);
        key(menu(), panel::kKeyLeft);
        EXPECT_EQ(focusedButton(menu()), lastInRing);
        key(menu(), panel::kKeyRightLetter);
        EXPECT_EQ(focusedButton(menu()), items.front().button);
    });
    for (size_t i = 0; i < items.size(); ++i) {
        drive.then([=] {
            EXPECT_EQ(g_page_focus.load(), menuPage);
            if (i > 0) {
                EXPECT_EQ(focusedButton(menu()), items[i - 1].button) << "back from " << items[i - 1].button;
                key(menu(), panel::kKeyRight);
            }
            EXPECT_EQ(focusedButton(menu()), items[i].button);
            key(menu(), panel::kKeyOk); // runs the item's screen modally
        });
        drive.then([=] { backFrom(items[i].page, items[i].screen()); });
    }
    drive.then([=] {
        EXPECT_EQ(focusedButton(menu()), items.back().button);
        key(menu(), panel::kKeyBack);
    });
}

// What a PC sends with the PC-side client: `args` after the link. The link
// runs in its own threads; its calls to the screens wait, queued.
bool runPcTool(int port, const QStringList& args)
{
    QStringList all{QStringLiteral(VYX_PC_TOOL), QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)};
    AppProcess tool(QStringLiteral(VYX_PYTHON), all + args);
    if (!tool.waitForFinished(60000)) {
        ADD_FAILURE() << "vyxpc.py " << args.join(' ').toStdString() << " did not end";
        return false;
    }
    const QByteArray said = tool.readAll();
    EXPECT_EQ(tool.exitCode(), 0) << said.toStdString();
    return tool.exitCode() == 0;
}

// Waits until `done` holds, delivering meanwhile only what other threads
// queue for the screens (the hooks' calls, the watcher's signals and
// calls, change signals), with `ticks` ticks a turn: inside a driver step,
// every event delivered would run the driver's next step early.
bool waitForQueued(const std::function<bool()>& done, int ticks = 0, int ms = 10000)
{
    QElapsedTimer waited;
    waited.start();
    while (true) {
        for (QObject* receiver : std::initializer_list<QObject*>{QCoreApplication::instance(), UsbServer::p_UsbServer,
                 SyncUpdate::pInstance(), VyxRamPara::pInstance()})
            if (receiver)
                QCoreApplication::sendPostedEvents(receiver, QEvent::MetaCall);
        if (done())
            return true;
        if (waited.elapsed() > ms)
            return false;
        paneltest::ticks(ticks);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace menutest

using namespace menutest;

namespace {

class SettingsMenus : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
    }
    // Runs the driver's steps with the settings menu opened from the main window.
    void fromMainWindow(ModalDriver& drive)
    {
        mainWindow();
        drive.run([&] { window->on_option_clicked(); });
        EXPECT_FALSE(drive.timedOut());
    }
    // Puts `n` regular files into the recovery directory.
    void storeRecoveryFiles(int n)
    {
        QDir().mkpath(QString::fromStdString(path("/data/rcvrecovery")));
        for (int i = 0; i < n; ++i)
            writeFile("/data/rcvrecovery/F" + std::to_string(i), "x");
    }
};

} // namespace

TEST_F(SettingsMenus, EveryRingWrapsAndEachItemReturnsToTheSameFocusAndPage)
{
    mainWindow();
    fpga_manage::pInstance(); // its reader counts the recovery files
    storeRecoveryFiles(1);
    struct Menu {
        std::function<void()> open;
        std::function<QWidget*()> screen;
        int page;
        std::vector<Item> items;
        const char* last;
    };
    const std::vector<Menu> menus = {
        {[&] { window->on_option_clicked(); }, global(g_option), kPageOption,
            {{"output_set", kPageOutputSet, global(g_outputset)}, {"input_cut", kPageInputCut, global(g_inputcut)},
                {"image_layout", kPageImageLayout, global(g_imagelayout)},
                {"link_set", kPageLinkOption, global(g_linkoption)},
                {"image_quality", kPageImageQuality, global(g_imagequality)},
                {"test_chart", kPageTestChart, global(g_test_chart)},
                {"smart_mapping", kPageSmartMapping, global(g_smartmapping)},
                {"AdvanceButton", kPageAdvancedOption, global(g_advancedoption)}},
            "AdvanceButton"},
        {[] { panel::open_modal(g_outputset, kPageOutputSet); }, global(g_outputset), kPageOutputSet,
            {{"Button_ledset", kPageLedset, global(g_ledset)}, {"Button_lanset", kPageNetset, global(g_netset)}}, "Button_lanset"},
        {[] { panel::open_modal(g_linkoption, kPageLinkOption); }, global(g_linkoption), kPageLinkOption,
            {{"Button_com", kPageLinkcom, global(g_linkcom)}, {"Button_wlan", kPageLinkwlan, global(g_linkwlan)},
                {"Button_usb", kPageFirmwareUsbgrade, global(g_firmware_usbgrade)}},
            "Button_usb"},
        {[] { panel::open_modal(g_imagequality, kPageImageQuality); }, global(g_imagequality), kPageImageQuality,
            {{"Button_quality", kPageQuality, global(g_quality)},
                {"Button_temperature", kPageTemperature, global(g_temperature)}},
            "Button_temperature"},
        // The ageing button asks for a code first (a test of its own).
        {[] { panel::open_modal(g_advancedoption, kPageAdvancedOption); }, global(g_advancedoption),
            kPageAdvancedOption,
            {{"Button_LCDshow", kPageLcdshow, global(g_lcdshow)}, {"Button_other", kPageOthersetup, global(g_othersetup)},
                {"Button_rcv_recovery", kPageRcvRecovery, global(g_rcv_recovery)},
                {"Button_factory", kPageFactory, global(g_factory)}},
            "Button_age"},
    };
    for (const Menu& menu : menus) {
        ModalDriver drive;
        walkItems(drive, menu.screen, menu.page, menu.items, menu.last);
        drive.run(menu.open);
        EXPECT_FALSE(drive.timedOut()) << menu.page;
        EXPECT_EQ(menu.screen(), nullptr);
    }
    EXPECT_EQ(g_page_focus.load(), kPageOption);
}

TEST_F(SettingsMenus, ModeKeyOnAMenuUnderSettingsClosesBothAndShowsTheUserModes)
{
    const std::vector<std::pair<int, std::function<QWidget*()>>> menus
        = {{0, global(g_outputset)}, {3, global(g_linkoption)}, {4, global(g_imagequality)},
            {7, global(g_advancedoption)}};
    for (const auto& menu : menus) {
        QPointer<QWidget> settings, sub;
        ModalDriver drive;
        drive
            .then([&] {
                settings = g_option;
                for (int i = 0; i < menu.first; ++i)
                    key(g_option, panel::kKeyRight);
                key(g_option, panel::kKeyOk);
            })
            .then([&] {
                sub = menu.second();
                ASSERT_NE(sub, nullptr);
                // Locked, the key does nothing at all.
                setImage16(ram::kPanelLock, 1);
                key(sub, panel::kKeyMode);
                EXPECT_EQ(menu.second(), sub.data());
                EXPECT_EQ(g_custommode, nullptr);
                setImage16(ram::kPanelLock, 0);
                key(sub, panel::kKeyModeLetter);
                EXPECT_EQ(menu.second(), nullptr);
                EXPECT_EQ(g_option, nullptr);
            });
        fromMainWindow(drive);
        EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
        ASSERT_NE(g_custommode, nullptr);
        EXPECT_TRUE(g_custommode->isVisible());
        paneltest::flushDeferredDeletes();
        EXPECT_TRUE(settings.isNull());
        EXPECT_TRUE(sub.isNull());
        // Back to the main window the way a person goes: user modes, standby.
        key(g_custommode, panel::kKeyBack);
        ASSERT_NE(g_lockwindow, nullptr);
        key(g_lockwindow, panel::kKeyOk);
        EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
        paneltest::flushDeferredDeletes();
    }
}

TEST_F(SettingsMenus, SettingsPicturesAndTheirSizesFollowTheLanguageShown)
{
    const char* const bases[] = {"output_set", "input_cut", "image_layout", "link_set", "image_quality",
        "test_chart", "smart_mapping", "AdvanceButton"};
    struct Case {
        int language;
        uint32_t offered;
        const char* prefix;
        const char* title;
        int widths[8];
    };
    const Case cases[] = {
        {panel::kChinese, 0x1F, "", "设置", {55, 55, 55, 55, 55, 55, 55, 55}},
        {panel::kEnglish, 0x1F, "en_", "Setting", {75, 70, 70, 70, 75, 55, 55, 54}},
        {panel::kRussian, 0x1F, "ru_", "Настройки", {55, 70, 55, 70, 55, 55, 55, 70}},
        // Russian not offered: English texts and pictures.
        {panel::kRussian, 0x1B, "en_", "Setting", {75, 70, 70, 70, 75, 55, 55, 54}},
        {panel::kVietnamese, 0x1F, "vn_", "Cài đặt", {55, 70, 55, 70, 55, 55, 55, 54}},
        {panel::kTraditional, 0x1F, "tn_", "設置", {55, 55, 55, 55, 55, 55, 55, 55}},
    };
    for (const Case& c : cases) {
        g_language = uint8_t(c.language);
        g_lcd_lang_valid = c.offered;
        Option menu(nullptr);
        SCOPED_TRACE(c.language * 100 + int(c.offered));
        EXPECT_EQ(textOf(&menu, "label_title"), QString::fromUtf8(c.title));
        for (int i = 0; i < 8; ++i) {
            QPushButton* button = menu.findChild<QPushButton*>(bases[i]);
            QString base = bases[i];
            if (i == 7 && QLatin1String(c.prefix) == QLatin1String("en_"))
                base = "advance_option";
            const QString png = QStringLiteral(":/png/") + c.prefix + base + ".png";
            EXPECT_EQ(button->property("png").toString(), png);
            EXPECT_TRUE(QFile::exists(png)) << png.toStdString();
            EXPECT_EQ(button->iconSize(), QSize(c.widths[i], 60)) << bases[i];
            EXPECT_TRUE(button->text().isEmpty());
        }
        EXPECT_EQ(menu.findChild<QLabel*>("label_note_OK")->property("png").toString(), ":/png/OK_Enter.png");
        EXPECT_EQ(menu.findChild<QLabel*>("label_note_back")->property("png").toString(), ":/png/back_return.png");
    }
}

TEST_F(SettingsMenus, EveryButtonTextFitsInsideItsFrameInEveryLanguage)
{
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        OutputSet output(nullptr);
        LinkOption link(nullptr);
        ImageQuality quality(nullptr);
        AdvancedOption advanced(nullptr);
        for (QWidget* menu : std::initializer_list<QWidget*>{&output, &link, &quality, &advanced})
            for (QPushButton* button : menu->findChildren<QPushButton*>()) {
                const QFontMetrics metrics(button->font());
                EXPECT_LE(button->font().pointSize(), 9);
                for (const QString& line : button->text().split('\n'))
                    EXPECT_LE(metrics.horizontalAdvance(line), button->width() - 12)
                        << language << " " << line.toStdString();
            }
    }
}

TEST_F(SettingsMenus, EverySettingsItemsCaptionStaysOffItsFocusBorderInEveryLanguage)
{
    // The focused item's border (2) and padding (2 across, 4 down) leave a
    // 70 x 80 button this much for its picture, drawn in the middle.
    const QRect room(0, 0, 70 - 2 * (2 + 4), 80 - 2 * (2 + 2));
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        Option menu(nullptr);
        for (QPushButton* button : menu.findChildren<QPushButton*>()) {
            const QPixmap pixmap = button->icon().pixmap(button->iconSize());
            const QImage image = pixmap.toImage();
            QRect painted;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) != 0)
                        painted |= QRect(x, y, 1, 1);
            painted.translate((room.width() - pixmap.width()) / 2, (room.height() - pixmap.height()) / 2);
            EXPECT_TRUE(room.contains(painted)) << language << " " << button->objectName().toStdString();
        }
    }
}

TEST_F(SettingsMenus, OutputMenuShowsTheLedSizeSetAndReadsItAgainWhenItsScreenReturns)
{
    setImage16(ram::kLedWidth, 1920);
    setImage16(ram::kLedHeight, 1080);
    setImage16(ram::kLanguage, panel::kEnglish);
    takeSnapshot();
    ModalDriver drive;
    drive
        .then([&] {
            EXPECT_EQ(textOf(g_outputset, "label_title"), "Output Seeting");
            EXPECT_EQ(textOf(g_outputset, "label_info"), "LED Screen can be set:1920x1080");
            key(g_outputset, panel::kKeyOk);
        })
        .then([&] {
            ASSERT_NE(g_ledset, nullptr);
            // The size screen sets a new size and goes back.
            setImage16(ram::kLedWidth, 3840);
            setImage16(ram::kLedHeight, 720);
            key(g_ledset, panel::kKeyBack);
        })
        .then([&] {
            EXPECT_EQ(textOf(g_outputset, "label_info"), "LED Screen can be set:3840x720");
            // A size written while the menu stays on top shows only at a re-text.
            setImage16(ram::kLedWidth, 64);
            setImage16(ram::kLanguage, panel::kChinese);
            store->test_signal(kChangeRefresh);
            EXPECT_EQ(textOf(g_outputset, "label_info"), QString::fromUtf8("当前设置LED屏宽高为: 64x720"));
            EXPECT_EQ(textOf(g_outputset, "label_title"), QString::fromUtf8("输出设置"));
            key(g_outputset, panel::kKeyBack);
        });
    drive.run([] { panel::open_modal(g_outputset, kPageOutputSet); });
    EXPECT_FALSE(drive.timedOut());
}

TEST_F(SettingsMenus, CommunicationMenuShowsTheCheckMarkTwiceForEveryChangeCode)
{
    ModalDriver drive;
    drive
        .then([&] {
            notices.clear();
            // From a worker thread (queued) and from this one (at once).
            std::thread worker([&] { store->test_signal(kChangePortState); });
            worker.join();
        })
        .then([] {})
        .then([&] {
            EXPECT_EQ(notices, (std::vector<int>{kNoticeDone, kNoticeDone}));
            store->test_signal(kChangeTransferEnd);
            EXPECT_EQ(notices.size(), 4u);
            // A touch opens the USB upgrade screen; the focus stays.
            touch(g_linkoption->findChild<QPushButton*>("Button_usb"));
        })
        .then([&] { backFrom(kPageFirmwareUsbgrade, g_firmware_usbgrade); })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageLinkOption);
            EXPECT_EQ(focusedButton(g_linkoption), "Button_com");
            notices.clear();
            key(g_linkoption, 'B'); // a global key refreshes too
            EXPECT_EQ(notices.size() % 2, 0u);
            key(g_linkoption, panel::kKeyBack);
        });
    drive.run([] { panel::open_modal(g_linkoption, kPageLinkOption); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_page_focus.load(), kPageOption);
}

TEST_F(SettingsMenus, UsbStickPluggedInClosesTheSettingsMenuOnlyWhileItIsOnTop)
{
    mainWindow();
    UsbServer* usb = UsbServer::pInstance();
    std::vector<int> usbCodes;
    QObject::connect(usb, &UsbServer::sig_usb_update, SyncUpdate::pInstance(), &SyncUpdate::para_sync);
    QObject::connect(usb, &UsbServer::sig_usb_update, usb, [&](int code) { usbCodes.push_back(code); });
    g_delay_usbserver = 1;
    // The stick as a person plugs it into the simulation, then a partition
    // as the kernel announces it; the watcher reports the storage ready
    // once 301 ticks have passed.
    auto plug = [&] { writeFile("/sim/usb", "in\n"); };
    auto partition = [] {
        platform::simUevents().inject(std::string("add@/devices/platform/usb1/1-1/host0/block/sda/sda2") + '\0' +
                                      "ACTION=add" + '\0' + "SUBSYSTEM=block" + '\0');
    };
    auto count = [&](int code) { return std::count(usbCodes.begin(), usbCodes.end(), code); };

    // A child on top: nothing closes.
    ModalDriver drive(30000);
    drive
        .then([&] { key(g_option, panel::kKeyOk); })
        .then([&] {
            ASSERT_NE(g_outputset, nullptr);
            plug();
            EXPECT_TRUE(waitForQueued([&] { return count(kChangeStorageReady) == 1; }, 20));
            EXPECT_NE(g_outputset, nullptr);
            EXPECT_NE(g_option, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageOutputSet);
            key(g_outputset, panel::kKeyBack);
        })
        .then([&] {
            // The settings menu on top: the stick closes it.
            EXPECT_EQ(g_page_focus.load(), kPageOption);
            partition();
            EXPECT_TRUE(waitForQueued([&] { return g_option == nullptr; }, 20));
        });
    drive.run([&] { window->on_option_clicked(); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_EQ(g_option, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageMainWindow);
    EXPECT_EQ(count(kChangeStorageReady), 2);
    // Closed, the menu leaves no closer behind for the next stick.
    paneltest::flushDeferredDeletes();
    g_page_focus = kPageOption;
    partition();
    EXPECT_TRUE(waitForQueued([&] { return count(kChangeStorageReady) == 3; }, 20));
    EXPECT_EQ(g_page_focus.load(), kPageOption);
}

TEST_F(SettingsMenus, RecoveryButtonFollowsTheFilesAPcSendsAndDeletes)
{
    // Without the FPGA manager there is no reader: grey whatever is stored.
    storeRecoveryFiles(0);
    writeFile("/data/rcvrecovery/old", "x");
    {
        AdvancedOption menu(nullptr);
        EXPECT_TRUE(styleOf(&menu, "Button_rcv_recovery").startsWith("background-color: gray;"));
    }
    QFile::remove(QString::fromStdString(path("/data/rcvrecovery/old")));
    fpga_manage::pInstance();
    networkManage::pInstance();
    QDir().mkpath(QString::fromStdString(path("/pc")));
    const std::string file = path("/pc/TZFX");
    runVyxFiles({"recovery", QString::fromStdString(file), "--ports", "1", "--cards", "2", "--card-op",
                    "1:1:0x100:16:100"},
        path("/manifest.json"));

    ModalDriver drive(120000);
    drive
        .then([&] {
            EXPECT_EQ(styleOf(g_advancedoption, "Button_rcv_recovery"),
                "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)");
            key(g_advancedoption, panel::kKeyRight);
            key(g_advancedoption, panel::kKeyRight);
            // The grey button takes the focus but opens nothing.
            EXPECT_EQ(focusedButton(g_advancedoption), "Button_rcv_recovery");
            EXPECT_TRUE(styleOf(g_advancedoption, "Button_rcv_recovery").startsWith("background-color: gray; border:2px solid"));
            key(g_advancedoption, panel::kKeyOk);
            touch(g_advancedoption->findChild<QPushButton*>("Button_rcv_recovery"));
            EXPECT_EQ(g_rcv_recovery, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);

            // A PC stores a recovery file while the menu is on top.
            ASSERT_TRUE(runPcTool(pcPort(5005), {"send-file", "recovery", QString::fromStdString(file)}));
            EXPECT_FALSE(QDir(QString::fromStdString(path("/data/rcvrecovery"))).isEmpty());
            EXPECT_TRUE(waitForQueued([&] {
                return styleOf(g_advancedoption, "Button_rcv_recovery").startsWith("background-color: rgb(33, 36, 53); border:2px solid");
            }));
            key(g_advancedoption, panel::kKeyOk);
        })
        .then([&] { backFrom(kPageRcvRecovery, g_rcv_recovery); })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
            EXPECT_EQ(focusedButton(g_advancedoption), "Button_rcv_recovery");
            // The PC deletes the stored files: grey again, still focused.
            ASSERT_TRUE(runPcTool(pcPort(5005), {"delete-file", "recovery"}));
            EXPECT_TRUE(waitForQueued([&] {
                return styleOf(g_advancedoption, "Button_rcv_recovery").startsWith("background-color: gray; border:2px solid");
            }));
            key(g_advancedoption, panel::kKeyRight);
            EXPECT_EQ(styleOf(g_advancedoption, "Button_rcv_recovery"),
                "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)");
            EXPECT_EQ(focusedButton(g_advancedoption), "Button_factory");
            key(g_advancedoption, panel::kKeyBack);
        });
    drive.run([] { panel::open_modal(g_advancedoption, kPageAdvancedOption); });
    EXPECT_FALSE(drive.timedOut());
    // Closed, the menu is no longer re-texted by the PC's calls.
    paneltest::flushDeferredDeletes();
    g_page_focus = kPageAdvancedOption;
    screen_hooks::run(ScreenHook::AdvancedOptionLanguageChanged);
    EXPECT_EQ(screen_hooks::set(ScreenHook::AdvancedOptionLanguageChanged, nullptr), nullptr);
}

TEST_F(SettingsMenus, AccessCodeOpensTheAgeingMonitorAndIsAskedAgainEveryTime)
{
    mainWindow();
    NumberKeyboard* keyboard = g_numberkeyboard;
    ASSERT_NE(keyboard, nullptr);
    auto type = [&](const char* digits) {
        for (const char* d = digits; *d; ++d)
            touch(keyboard->findChild<QPushButton*>(QStringLiteral("Button%1").arg(QLatin1Char(*d))));
        touch(keyboard->findChild<QPushButton*>("Button_ok"));
    };
    ModalDriver drive;
    drive
        .then([&] {
            key(g_advancedoption, panel::kKeyLeft); // wraps to the ageing button
            EXPECT_EQ(focusedButton(g_advancedoption), "Button_age");
            key(g_advancedoption, panel::kKeyOk);
        })
        .then([&] {
            EXPECT_TRUE(keyboard->isVisible());
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
            EXPECT_EQ(textOf(keyboard, "label"), "key");
            EXPECT_EQ(keyboard->findChild<QLineEdit*>("lineEdit")->text(), "**********");
            type("3957");
        })
        .then([&] {
            EXPECT_FALSE(keyboard->isVisible());
            EXPECT_EQ(g_factoryage, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
            key(g_advancedoption, panel::kKeyOk);
        })
        .then([&] { type("3958"); })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageFactoryage);
            ASSERT_NE(g_factoryage, nullptr);
            EXPECT_TRUE(keyboard->isVisible()); // beneath, until the monitor closes
            key(g_factoryage, panel::kKeyBack);
        })
        .then([&] {
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
            EXPECT_EQ(g_factoryage, nullptr);
            EXPECT_FALSE(keyboard->isVisible());
            // A number typed for another screen is no access code.
            emit keyboard->sendKeyBoardUIDataToLineEdit(QStringLiteral("3958"));
            EXPECT_EQ(g_factoryage, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
            key(g_advancedoption, panel::kKeyOkLetter); // the code is asked again
        })
        .then([&] {
            EXPECT_TRUE(keyboard->isVisible());
            EXPECT_EQ(keyboard->findChild<QLineEdit*>("lineEdit")->text(), "**********");
            key(keyboard, panel::kKeyBack); // the keyboard closes without a code
        })
        .then([&] {
            EXPECT_EQ(g_factoryage, nullptr);
            key(g_advancedoption, panel::kKeyBack);
        });
    drive.run([] { panel::open_modal(g_advancedoption, kPageAdvancedOption); });
    EXPECT_FALSE(drive.timedOut());

    // In Russian (offered) the keyboard asks for a "Пароль".
    g_language = panel::kRussian;
    ModalDriver russian;
    russian.then([&] { key(g_advancedoption, panel::kKeyLeft); key(g_advancedoption, panel::kKeyOk); })
        .then([&] {
            EXPECT_EQ(textOf(keyboard, "label"), QString::fromUtf8("Пароль"));
            key(keyboard, panel::kKeyBack);
        })
        .then([&] { key(g_advancedoption, panel::kKeyBack); });
    russian.run([] { panel::open_modal(g_advancedoption, kPageAdvancedOption); });
    EXPECT_FALSE(russian.timedOut());
}

TEST_F(SettingsMenus, ModeKeyOnTheAgeingMonitorClosesTheMenusAboveTheKeyboard)
{
    mainWindow();
    NumberKeyboard* keyboard = g_numberkeyboard;
    QPointer<AdvancedOption> advanced;
    ModalDriver drive;
    drive
        .then([&] {
            for (int i = 0; i < 7; ++i)
                key(g_option, panel::kKeyRight);
            key(g_option, panel::kKeyOk);
        })
        .then([&] {
            advanced = g_advancedoption;
            key(g_advancedoption, panel::kKeyLeft);
            key(g_advancedoption, panel::kKeyOk);
        })
        .then([&] {
            for (char d : {'3', '9', '5', '8'})
                touch(keyboard->findChild<QPushButton*>(QStringLiteral("Button%1").arg(QLatin1Char(d))));
            touch(keyboard->findChild<QPushButton*>("Button_ok"));
        })
        .then([&] {
            ASSERT_NE(g_factoryage, nullptr);
            key(g_factoryage, panel::kKeyMode);
            EXPECT_EQ(g_factoryage, nullptr);
            EXPECT_EQ(g_advancedoption, nullptr);
            EXPECT_EQ(g_option, nullptr);
        });
    fromMainWindow(drive);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
    EXPECT_FALSE(keyboard->isVisible());
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(advanced.isNull());
    // The keyboard serves the next screen without opening anything here.
    emit keyboard->sendKeyBoardUIDataToLineEdit(QStringLiteral("3958"));
    EXPECT_EQ(g_factoryage, nullptr);
}

TEST_F(SettingsMenus, HelpersCountTheStickScanFilesAndGreyAPicture)
{
    EXPECT_EQ(Option::get_file_list_usbpath(), 0); // no stick directory
    writeFile("/mnt/usb1/a.tzfile", "x");
    writeFile("/mnt/usb1/.b.tzfile", "x");
    writeFile("/mnt/usb1/c.TZFILE", "x");       // the suffix is compared as it stands
    writeFile("/mnt/usb1/d.tzfile.bak", "x");
    writeFile("/mnt/usb1/sub/e.tzfile", "x");   // only the directory itself
    QDir().mkpath(QString::fromStdString(platform::sysPath("/mnt/usb1/f.tzfile")));
    QFile::link(QString::fromStdString(platform::sysPath("/mnt/usb1/a.tzfile")),
                QString::fromStdString(platform::sysPath("/mnt/usb1/g.tzfile")));
    EXPECT_EQ(Option::get_file_list_usbpath(), 2);

    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QImage grey = Option::converToGrayscale(red);
    EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(grey.size(), red.size());
}
