// The USB upgrade screen on a sandbox stick: which files it offers and how
// it pages and highlights them, the keypad's OK handing the upgrade to the
// FPGA worker once, the worker's end shown with its times, the touch
// button's time stamps, and the stick's codes re-listing from scratch.
#include "tests/support/panel_fixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVariant>
#include <functional>

#include "fpga/fpga_manage.h"
#include "fpga/upgrade_package.h"
#include "platform/clock.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/rcvtools/firmware_usbgrade.h"
#include "video_io/zevlosource.h"

using paneltest::key;
using paneltest::touch;

namespace {

struct ListRow {
    QString text;
    bool chosen;
};

class UsbGradeScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 7)));
        g_usb_grade_path = QStringLiteral("VYX-Q71");
        g_lcd_lang_valid = 0x1F;
        // On the device the FPGA manager exists before any screen opens.
        zevlosource::pInstance();
        worker = fpga_manage::pInstance();
    }
    void TearDown() override
    {
        platform::setClockForTest(QDateTime());
        PanelTest::TearDown();
    }

    // Files named as packages, too short to read as one.
    void stick(const QString& dir, const QStringList& names)
    {
        for (const QString& name : names)
            writeFile(("/mnt/usb1/" + dir + "/" + name).toStdString(), "package");
    }
    // A package that reads whole and holds no child.
    void emptyPackage(const QString& name)
    {
        writeFile(("/mnt/usb1/VYX-Q71/" + name).toStdString(), QByteArray(int(upgrade::kHeaderSize), '\0'));
    }

    // Runs the worker's turns of the upgrade OK started, the clock at 9:6:30
    // from its third turn on.
    void runUpgrade(const std::function<void()>& eachTurn = {})
    {
        for (int turn = 0; turn < 20 && g_usb_grade.load() != 0; ++turn) {
            ++G_timeTicks;
            if (turn == 2)
                platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 6, 30)));
            worker->usb_upgrade_manage_deal(nullptr);
            QCoreApplication::processEvents();
            if (eachTurn)
                eachTurn();
        }
    }

    firmware_usbgrade* open()
    {
        g_firmware_usbgrade = new firmware_usbgrade(nullptr);
        g_page_focus = kPageFirmwareUsbgrade;
        g_firmware_usbgrade->show();
        return g_firmware_usbgrade;
    }

    static QFrame* box(QWidget* screen) { return screen->findChild<QFrame*>(QStringLiteral("frame_file")); }
    // The rows the box shows, top to bottom (the empty line too).
    static std::vector<ListRow> rows(QWidget* screen)
    {
        std::vector<ListRow> out;
        for (QLabel* l : box(screen)->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            out.push_back({l->text(), l->styleSheet().contains(QLatin1String("#4777FF"))});
        return out;
    }
    static QString row(QWidget* screen, int r) { return rows(screen).at(size_t(r)).text; }
    static QString name(const QString& file) { return QStringLiteral("<font color = #FFFFFF >%1</font>").arg(file); }
    static QPushButton* arrow(QWidget* screen, const char* which)
    {
        return box(screen)->findChild<QPushButton*>(QLatin1String(which));
    }
    static QString log(QWidget* screen)
    {
        return screen->findChild<QLabel*>(QStringLiteral("label_log"))->text();
    }

    fpga_manage* worker = nullptr;
};

} // namespace

TEST_F(UsbGradeScreen, OffersOnlyUpgradePackagesAndHighlightsTheFirstVyxAndEveryVyxzk)
{
    stick("VYX-Q71", {"a.VYX", "b.VYXZK", "a.vyx", "c.VYX.bak", "d.VYX", ".h.VYX"});
    QDir().mkpath(QString::fromStdString(path("/mnt/usb1/VYX-Q71/e.VYX")));
    firmware_usbgrade* screen = open();

    ASSERT_EQ(screen->packages().size(), 3);
    EXPECT_EQ(screen->packages()[0], QStringLiteral("/mnt/usb1/VYX-Q71/a.VYX"));
    const std::vector<ListRow> shown = rows(screen);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, name("a.VYX"));
    EXPECT_EQ(shown[1].text, name("b.VYXZK"));
    EXPECT_EQ(shown[2].text, name("d.VYX"));
    EXPECT_TRUE(shown[0].chosen);
    EXPECT_TRUE(shown[1].chosen);
    EXPECT_FALSE(shown[2].chosen) << "a second VYX package is not highlighted";
    EXPECT_EQ(arrow(screen, "Button_previous"), nullptr);
    EXPECT_EQ(arrow(screen, "Button_next"), nullptr);

    // Touching a row selects it; the others keep their look.
    QList<QPushButton*> touches = box(screen)->findChildren<QPushButton*>(QStringLiteral("2"));
    ASSERT_EQ(touches.size(), 1);
    touch(touches[0]);
    EXPECT_TRUE(rows(screen)[2].chosen);
}

TEST_F(UsbGradeScreen, ShowsFileNamesWhereverTheUpgradeDirectoryLies)
{
    for (const char* setting : {" ", "", "VYX-Q71/new", "VYX-Q71/"}) {
        SCOPED_TRACE(setting);
        g_usb_grade_path = QLatin1String(setting);
        const QString dir = QString::fromLatin1(setting).trimmed();
        stick(dir, {"x.VYXZK"});
        firmware_usbgrade* screen = open();
        ASSERT_EQ(rows(screen).size(), 1u);
        EXPECT_EQ(row(screen, 0), name("x.VYXZK"));
        key(screen, panel::kKeyBack);
        paneltest::flushDeferredDeletes();
        QDir(QString::fromStdString(path("/mnt/usb1"))).removeRecursively();
    }
    // Nothing there, or no stick at all.
    firmware_usbgrade* screen = open();
    ASSERT_EQ(rows(screen).size(), 1u);
    EXPECT_EQ(row(screen, 0), QStringLiteral("No loaded file!"));
}

TEST_F(UsbGradeScreen, PagesFourPackagesAtATime)
{
    stick("VYX-Q71", {"1.VYX", "2.VYX", "3.VYX", "4.VYX", "5.VYX"});
    firmware_usbgrade* screen = open();
    EXPECT_EQ(rows(screen).size(), 4u);
    EXPECT_EQ(arrow(screen, "Button_previous"), nullptr);
    ASSERT_NE(arrow(screen, "Button_next"), nullptr);
    touch(arrow(screen, "Button_next"));
    EXPECT_EQ(rows(screen).size(), 1u);
    EXPECT_EQ(arrow(screen, "Button_next"), nullptr);
    ASSERT_NE(arrow(screen, "Button_previous"), nullptr);
    // Past the last page the next arrow's slot wraps to the first.
    screen->vyx_Button_next_clicked();
    EXPECT_EQ(row(screen, 0), name("1.VYX"));
    paneltest::flushDeferredDeletes();
    EXPECT_EQ(screen->findChildren<QLabel*>().size(), 2 + 4) << "each redraw replaces the box";
}

TEST_F(UsbGradeScreen, OkStartsTheWorkerOnceAndTheModeKeyThenDoesNothing)
{
    firmware_usbgrade* screen = open();
    g_send_para.step = 255;

    // Touching the button never starts an upgrade.
    touch(screen->findChild<QPushButton*>(QStringLiteral("Button_grade")));
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_EQ(log(screen), QStringLiteral("<font style = 'font-size:12px' color = #51BB28 >downing over \r\n\r\n9:5:7</font>"));

    // Not while a receiving-card job owns the mailbox.
    g_send_para.job = 5;
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_FALSE(screen->downing());
    g_send_para.job = 0;

    key(screen, panel::kKeyLeft);
    key(screen, panel::kKeyRight);
    EXPECT_EQ(g_usb_grade.load(), 0u);

    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_usb_grade.load(), 1u);
    EXPECT_EQ(g_send_para.step.load(), 0);
    EXPECT_TRUE(screen->downing());

    // The worker has moved on; a second OK does not start it again.
    g_usb_grade = 0;
    g_send_para.step = 2;
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_EQ(g_send_para.step.load(), 2);

    platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(10, 0, 9)));
    touch(screen->findChild<QPushButton*>(QStringLiteral("Button_grade")));
    EXPECT_EQ(log(screen), QStringLiteral("<font style = 'font-size:12px' color = #FF0000 >downing ,Dont power off !!\r\n10:0:9</font>"));

    key(screen, panel::kKeyMode);
    EXPECT_EQ(g_firmware_usbgrade, screen);
    EXPECT_EQ(g_page_focus.load(), kPageFirmwareUsbgrade);

    key(screen, panel::kKeyBack);
    EXPECT_EQ(g_firmware_usbgrade, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageLinkOption);
}

TEST_F(UsbGradeScreen, TheWorkersEndShowsDowningOverWithItsTimesInEveryLanguage)
{
    emptyPackage("a.VYX");
    mainWindow();
    firmware_usbgrade* screen = open();
    key(screen, panel::kKeyOk);
    ASSERT_EQ(g_usb_grade.load(), 1u);

    // A language change on the way: the end is shown all the same.
    store->ram_para[ram::kLanguage] = panel::kRussian;
    bool dialogShown = false;
    runUpgrade([&] { dialogShown = dialogShown || (g_move_update && g_move_update->isVisible()); });
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_TRUE(dialogShown) << "the worker's dialog covered the panel";
    EXPECT_EQ(g_move_update, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageFirmwareUsbgrade) << "the dialog has no page of its own";
    EXPECT_EQ(log(screen),
        QStringLiteral("<font style = 'font-size:13px' color = #51BB28 >downing over<br>9:5:7    9:6:30</font>"));
    EXPECT_EQ(rows(screen).size(), 1u);
}

// A package that cannot be read makes the end a failure, in red like the
// warning while it runs, with the same times; read whole, the next upgrade
// is shown green again.
TEST_F(UsbGradeScreen, AnUpgradeThatCouldNotReadAPackageEndsInRedInItsLanguage)
{
    const QString failed[] = {
        QStringLiteral("升级失败"), QStringLiteral("Update failed"), QStringLiteral("Ошибка обновления"),
        QStringLiteral("Cập nhật thất bại"), QStringLiteral("昇級失敗")};
    stick("VYX-Q71", {"a.VYX"});
    mainWindow();
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 7)));
        firmware_usbgrade* screen = open();
        key(screen, panel::kKeyOk);
        runUpgrade();
        EXPECT_EQ(g_usb_grade.load(), 0u);
        EXPECT_EQ(log(screen), QStringLiteral("<font style = 'font-size:13px' color = #FF0000 >%1<br>9:5:7    9:6:30</font>")
                                   .arg(failed[language]));
        key(screen, panel::kKeyBack);
    }

    emptyPackage("a.VYX");
    platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 7)));
    firmware_usbgrade* screen = open();
    key(screen, panel::kKeyOk);
    runUpgrade();
    EXPECT_EQ(log(screen),
        QStringLiteral("<font style = 'font-size:13px' color = #51BB28 >downing over<br>9:5:7    9:6:30</font>"));
}

TEST_F(UsbGradeScreen, TheSticksCodesListAgainFromTheFirstPageAndLanguagesDoNotAddRows)
{
    stick("VYX-Q71", {"1.VYX", "2.VYX", "3.VYX", "4.VYX", "5.VYXZK"});
    firmware_usbgrade* screen = open();
    touch(arrow(screen, "Button_next"));
    ASSERT_EQ(row(screen, 0), name("5.VYXZK"));

    QDir(QString::fromStdString(path("/mnt/usb1"))).removeRecursively();
    store->test_signal(kChangeDeviceRemoved);
    EXPECT_EQ(row(screen, 0), QStringLiteral("No loaded file!"));
    stick("VYX-Q71", {"6.VYX", "7.VYX", "8.VYX", "9.VYX", "a.VYX"});
    store->test_signal(kChangeStorageReady);
    EXPECT_EQ(row(screen, 0), name("6.VYX")) << "back on the first page";
    EXPECT_EQ(notices, (std::vector<int>{4, 5}));

    for (int language : {panel::kChinese, panel::kEnglish, panel::kChinese}) {
        store->ram_para[ram::kLanguage] = uint8_t(language);
        store->test_signal(kChangeRefresh);
    }
    EXPECT_EQ(screen->packages().size(), 5);
    EXPECT_EQ(rows(screen).size(), 4u);
    EXPECT_EQ(screen->findChild<QLabel*>(QStringLiteral("label_usb_update"))->text(), QStringLiteral("USB升级"));
}
