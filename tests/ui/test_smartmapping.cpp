// The smart-setup screen driven by touches and keypad keys, its jobs run by
// the FPGA worker on the simulated cards one turn at a time: the wizard's
// layout record and job 1, the port grid, the picker, the scan-file pages
// and job 2, curing and the mapping switch, the menu and the ways out.
#include "tests/support/panel_fixture.h"
#include "tests/support/vyxfiles_tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <cstring>
#include <thread>

#include "core/screen_hooks.h"
#include "fpga/fpga_manage.h"
#include "platform/card_sim.h"
#include "platform/sim_chips.h"
#include "remote/file_transfer.h"
#include "ui/rcvtools/rcvrecovery.h"
#include "ui/rcvtools/smartmapping.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/numberkeyboard.h"
#include "video_io/zevlosource.h"

namespace {

const char* const kGreenTile = "border:1px solid #00D65B";
const char* const kOrangeBorder = "rgb(255,171,84)";

class SmartMappingScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        mainWindow(); // the number keyboard
    }
    void TearDown() override
    {
        g_send_para.job = 0;
        PanelTest::TearDown();
    }

    SmartMapping* open()
    {
        auto* s = new SmartMapping(nullptr);
        g_smartmapping = s;
        g_page_focus = kPageSmartMapping;
        s->show();
        return s;
    }

    template <class T = QWidget>
    static T* child(const char* name)
    {
        T* w = g_smartmapping ? g_smartmapping->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void tap(const char* name) { paneltest::touch(child(name)); }
    static void key(int code, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            paneltest::key(g_smartmapping, code);
    }
    static int page() { return child<QStackedWidget>("stackedWidget")->currentIndex(); }
    static QString styleOf(const char* name) { return child(name)->styleSheet(); }
    static bool focused(const char* name) { return styleOf(name).contains(kOrangeBorder); }

    // The tiles shown: the port each marks green (-1: none), and a touch on tile i.
    static QFrame* tiles() { return g_smartmapping->findChild<QFrame*>(QStringLiteral("tile_panel")); }
    // -2 when more than one tile is marked.
    static int markedTile()
    {
        int marked = -1, n = 0;
        for (QFrame* f : tiles()->findChildren<QFrame*>())
            if (!qobject_cast<QLabel*>(f) && f->styleSheet().contains(kGreenTile)) {
                marked = (f->x() - 10) / 55 + 4 * ((f->y() - 2) / 45);
                ++n;
            }
        return n > 1 ? -2 : marked;
    }
    static int tileCount() { return tiles()->findChildren<QPushButton*>().size(); }
    static void tapTile(int i) { paneltest::touch(tiles()->findChild<QPushButton*>(QString::number(i))); }

    // Types `digits` on the number keyboard a touch on `field` opens, then OK.
    static void typeInto(const char* field, const char* digits)
    {
        ModalDriver drive;
        drive.then([digits] {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            for (const char* d = digits; *d; ++d)
                g_numberkeyboard->findChild<QPushButton*>(QStringLiteral("Button%1").arg(*d))->click();
            g_numberkeyboard->findChild<QPushButton*>(QStringLiteral("Button_ok"))->click();
        });
        drive.run([field] { tap(field); });
        EXPECT_FALSE(drive.timedOut());
    }

    static QByteArray layout() { return QByteArray(reinterpret_cast<const char*>(&line_type), sizeof line_type); }

    // ---- the FPGA worker on the simulated chips, one turn at a time ----
    void startFpga()
    {
        zevlosource::pInstance()->setup_state[0] = 2;
        fpga = fpga_manage::pInstance();
        fpga->softinit();
        ASSERT_TRUE(turnUntil([this] { return fpga->get_fpga_status() == 1; }));
        // The idle search has counted the start-up chains of ports 1-4.
        ASSERT_TRUE(turnUntil([this] {
            for (uint8_t p = 0; p < 4; ++p)
                if (fpga->get_port_card_num(p) != 4)
                    return false;
            return true;
        }));
    }
    bool turnUntil(const std::function<bool()>& done, int maxTurns = 20000)
    {
        for (int i = 0; i < maxTurns && !done(); ++i) {
            ++G_timeTicks;
            fpga->fpga_manage_deal(nullptr);
            QCoreApplication::processEvents();
        }
        return done();
    }
    // The job runs out and its last progress reaches the screen.
    bool finishJob() { return turnUntil([] { return g_send_para.job.load() == 0 && !g_qround_bar; }); }

    static platform::SimCardChains& cards() { return platform::simCards(0); }

    fpga_manage* fpga = nullptr;
};

} // namespace

// ---------------------------------------------------------------- wizard

TEST_F(SmartMappingScreen, WizardTouchesFillTheLayoutRecordAndJobOnePlacesThePortsCards)
{
    startFpga();
    open();
    tap("Button_next"); // the initial 128 x 96
    ASSERT_EQ(page(), 1);
    tapTile(2);         // LED3
    EXPECT_EQ(markedTile(), 2);
    tap("Button_next_2");
    typeInto("lineEdit_line", "2");
    typeInto("lineEdit_column", "3");
    tap("Button_route");
    ASSERT_EQ(page(), 3);
    tap("Button_route7");
    ASSERT_EQ(page(), 2);
    EXPECT_EQ(child<QPushButton>("Button_route")->text(), "Routing 7");
    EXPECT_EQ(child("Button_route")->property("png").toString(), ":/png/line7.png");
    tap("Button_send");

    EXPECT_EQ(layout().toHex(' '), "80 00 60 00 00 00 00 00 02 02 03 07");
    EXPECT_EQ(g_send_para.job.load(), 1);
    EXPECT_EQ(g_send_para.step.load(), 0);
    ASSERT_NE(g_qround_bar, nullptr);

    // While the ring is up: Send, the picker and the ways back are refused.
    child<QLineEdit>("lineEdit_line")->setText("5");
    tap("Button_send");
    tap("Button_route");
    tap("Button_front_3");
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(layout().toHex(' '), "80 00 60 00 00 00 00 00 02 02 03 07");

    ASSERT_TRUE(finishJob());
    // Pattern 7 on 2 rows and 3 columns: down the first column, up the second.
    const std::pair<int, int> expected[] = {{0, 0}, {0, 96}, {128, 96}, {128, 0}};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(std::make_pair(int(cards().card(2, k).x()), int(cards().card(2, k).y())), expected[k]) << k;

    // The ring closed, but the worker has not yet cleared the job: refused.
    g_send_para.job = 1;
    tap("Button_send");
    EXPECT_EQ(line_type.rows, 2);
    EXPECT_EQ(g_qround_bar, nullptr);
    g_send_para.job = 0;
    tap("Button_send"); // the fields as they were left
    EXPECT_EQ(line_type.rows, 5);
    EXPECT_EQ(g_send_para.job.load(), 1);
}

TEST_F(SmartMappingScreen, NumberFieldsKeepTheLowBitsOfADecimalAndReadAnythingElseAsZero)
{
    open();
    auto set = [](const char* field, const char* text) { child<QLineEdit>(field)->setText(QLatin1String(text)); };
    set("lineEdit_X", "70000");
    set("lineEdit_Y", "");
    tap("Button_next");
    EXPECT_EQ(uint16_t(line_type.width), 4464);
    EXPECT_EQ(line_type.height, 0);
    set("lineEdit_line", "256");
    set("lineEdit_column", "x1");
    set("lineEdit_horzion", "65537");
    tap("Button_send");
    EXPECT_EQ(line_type.rows, 0);
    EXPECT_EQ(line_type.columns, 0);
    EXPECT_EQ(line_type.x_offset, 1);
}

TEST_F(SmartMappingScreen, KeypadWalksTheStepsAndTheGridOfPortsNineAndTen)
{
    open();
    key(panel::kKeyOk); // into the wizard
    EXPECT_TRUE(focused("lineEdit_X"));
    key(panel::kKeyLeft);
    EXPECT_TRUE(focused("Button_next"));
    EXPECT_FALSE(focused("lineEdit_X"));
    key(panel::kKeyRight);
    EXPECT_TRUE(focused("lineEdit_X"));
    key(panel::kKeyLeft);
    key(panel::kKeyOk); // Next: step 2, ports 1-8
    ASSERT_EQ(page(), 1);
    EXPECT_EQ(tileCount(), 8);
    EXPECT_EQ(markedTile(), 0);

    key(panel::kKeyRight); // ports 9-10 shown, none of them chosen
    EXPECT_EQ(tileCount(), 2);
    EXPECT_EQ(markedTile(), -1);
    key(panel::kKeyOk); // into the grid: port 9 at once
    EXPECT_EQ(line_type.port, 8);
    EXPECT_EQ(markedTile(), 0);
    key(panel::kKeyRight);
    EXPECT_EQ(line_type.port, 9);
    EXPECT_EQ(markedTile(), 1);
    key(panel::kKeyRight);
    EXPECT_EQ(line_type.port, 8);
    key(panel::kKeyLeft);
    EXPECT_EQ(line_type.port, 9);
    key(panel::kKeyBack); // the port held before the grid
    EXPECT_EQ(line_type.port, 0);
    EXPECT_EQ(markedTile(), -1);
    EXPECT_EQ(page(), 1);

    key(panel::kKeyOk); // in again, Right, OK: port 10 is chosen
    key(panel::kKeyRight);
    key(panel::kKeyOk);
    EXPECT_EQ(line_type.port, 9);
    key(panel::kKeyRight, 3); // Right from Next_2 reaches ports 1-8; the port stays
    EXPECT_EQ(tileCount(), 8);
    EXPECT_EQ(markedTile(), -1);
    EXPECT_EQ(line_type.port, 9);

    // Touch: the tile of port 3; another tile of the group redrawn with port
    // 3 marked moves the one mark; the first tile of ports 9-10.
    tapTile(2);
    EXPECT_EQ(line_type.port, 2);
    tap("Button_wlan1");
    EXPECT_EQ(markedTile(), 2);
    tapTile(5);
    EXPECT_EQ(markedTile(), 5);
    tap("Button_wlan2");
    tapTile(0);
    EXPECT_EQ(line_type.port, 8);

    key(panel::kKeyBack); // step 1, then the main menu
    EXPECT_EQ(page(), 0);
    key(panel::kKeyBack);
    key(panel::kKeyRight); // the main menu moves again
    EXPECT_TRUE(focused("Button_paraweld"));
}

TEST_F(SmartMappingScreen, StepThreesTwoLineCaptionsFitTheirLabelsInEveryLanguage)
{
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        open();
        key(panel::kKeyOk); // step 1
        key(panel::kKeyLeft);
        key(panel::kKeyOk); // step 2
        key(panel::kKeyOk); // into the grid of ports
        key(panel::kKeyOk); // LED1
        key(panel::kKeyLeft);
        key(panel::kKeyOk); // step 3
        ASSERT_EQ(page(), 2) << language;
        for (const char* name :
            {"label_boxline", "label_boxlcolumn", "label_routeway", "label_horizon", "label_vert"}) {
            QLabel* caption = child<QLabel>(name);
            const QRect room = caption->contentsRect();
            const QRect lines = QFontMetrics(caption->font()).boundingRect(room, Qt::TextWordWrap, caption->text());
            EXPECT_LE(lines.width(), room.width()) << language << " " << name;
            EXPECT_LE(lines.height(), room.height()) << language << " " << name;
        }
        closeAllScreens();
    }
}

TEST_F(SmartMappingScreen, PickerStartsOnThePatternWrapsThroughCancelAndIsRefusedDuringAJob)
{
    open();
    tap("Button_next");
    tap("Button_next_2");
    tap("Button_route");
    tap("Button_route16");
    key(panel::kKeyOk);                                          // main menu OK: step 1
    key(panel::kKeyLeft);                                        // Next
    key(panel::kKeyOk);                                          // step 2
    key(panel::kKeyLeft);                                        // Next_2
    key(panel::kKeyOk);                                          // step 3
    key(panel::kKeyRight, 2);                                    // the pattern button
    key(panel::kKeyOk);                                          // the picker
    ASSERT_EQ(page(), 3);
    EXPECT_TRUE(focused("Button_route16"));
    key(panel::kKeyRight);
    EXPECT_TRUE(focused("Button_cancel"));
    key(panel::kKeyRight);
    EXPECT_TRUE(focused("Button_route1"));
    key(panel::kKeyLeft);
    key(panel::kKeyOk); // Cancle keeps the pattern
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(line_type.pattern, 16);
    EXPECT_TRUE(focused("Button_route"));

    key(panel::kKeyRight, 4); // Send
    key(panel::kKeyOk);
    ASSERT_NE(g_qround_bar, nullptr);
    key(panel::kKeyLeft, 4); // the pattern button: no picker now
    key(panel::kKeyOk);
    EXPECT_EQ(page(), 2);
    key(panel::kKeyBack); // step 3 stays, with the keys
    EXPECT_EQ(page(), 2);
    key(panel::kKeyRight);
    EXPECT_TRUE(focused("lineEdit_horzion"));
}

// ------------------------------------------------------------- main menu

TEST_F(SmartMappingScreen, MenuSkipsLoadScanWithoutFilesAndTheRingKeepsTheScreen)
{
    open();
    EXPECT_EQ(styleOf("Button_loadscan"), "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;"
                                          "color:rgb(255,255,255)");
    key(panel::kKeyRight);
    EXPECT_TRUE(focused("Button_paraweld"));
    EXPECT_EQ(page(), 6);
    key(panel::kKeyLeft);
    EXPECT_TRUE(focused("Button_shortcut"));
    key(panel::kKeyLeft);
    EXPECT_TRUE(focused("Button_mapping"));
    EXPECT_EQ(page(), 7);
    key(panel::kKeyRight);
    EXPECT_EQ(page(), 0);
    tap("Button_loadscan"); // grey, but a touch opens it
    EXPECT_EQ(page(), 4);

    // Curing OK twice with the keypad: one job, one ring. Not while the
    // worker has yet to clear the last job.
    key(panel::kKeyRight);
    g_send_para.job = 5;
    tap("Button_confirm");
    EXPECT_EQ(g_qround_bar, nullptr);
    EXPECT_EQ(g_send_para.job.load(), 5);
    g_send_para.job = 0;
    key(panel::kKeyOk);
    key(panel::kKeyOk);
    QRoundProgressBar* ring = g_qround_bar;
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(g_send_para.job.load(), 3);
    key(panel::kKeyOk);
    EXPECT_EQ(g_qround_bar, ring);

    // While the ring is up neither back nor the mode key leaves.
    key(panel::kKeyBack);
    key(panel::kKeyBack);
    key(panel::kKeyMode);
    EXPECT_EQ(g_smartmapping != nullptr, true);
    screen_hooks::post(ScreenValueHook::SmartMappingProgress, 100); // as the worker ends
    QCoreApplication::processEvents();
    EXPECT_EQ(g_qround_bar, nullptr);
    key(panel::kKeyBack);
    EXPECT_EQ(g_smartmapping, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageOption);
}

TEST_F(SmartMappingScreen, ModeKeyUnderThePanelLockDoesNothingAtAll)
{
    open();
    setImage16(ram::kPanelLock, 1);
    key(panel::kKeyMode);
    EXPECT_NE(g_smartmapping, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageSmartMapping);
    setImage16(ram::kPanelLock, 0);
    key(panel::kKeyMode);
    EXPECT_EQ(g_smartmapping, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);
}

// -------------------------------------------------------- scan-file pages

TEST_F(SmartMappingScreen, ScanFilesAreListedThreeAPageAndLoadPostsTheChosenPath)
{
    for (const char* name : {"b.tzfile", "A.b.tzfile", "a.TZFILE", "x.tzfile.bak", ".h.tzfile", "c.tzfile"})
        writeFile(std::string("/data/smartmapping/") + name, "scan");
    QFile::link(QString::fromStdString(path("/data/smartmapping/b.tzfile")),
        QString::fromStdString(path("/data/smartmapping/l.tzfile")));
    writeFile("/mnt/usb1/u.tzfile", "scan");
    open();
    EXPECT_FALSE(styleOf("Button_loadscan").contains("gray"));

    key(panel::kKeyRight); // load scan
    key(panel::kKeyOk);    // port page, ports 1-8
    key(panel::kKeyOk);    // into the grid; the port changes with the first move
    EXPECT_EQ(line_type.port, 0);
    key(panel::kKeyRight);
    key(panel::kKeyBack); // before any port was confirmed back keeps the move
    EXPECT_EQ(line_type.port, 1);
    key(panel::kKeyOk);
    key(panel::kKeyRight, 2);
    key(panel::kKeyOk);
    EXPECT_EQ(line_type.port, 2);
    key(panel::kKeyOk);
    key(panel::kKeyRight);
    key(panel::kKeyBack); // now it restores the port held
    EXPECT_EQ(line_type.port, 2);
    key(panel::kKeyLeft); // Next
    key(panel::kKeyOk);
    ASSERT_EQ(page(), 5);

    // Three stored files in white, then one page with the stick's file in green.
    auto rows = [] {
        QStringList names;
        for (QLabel* l : child<QFrame>("frame_file")->findChildren<QLabel*>())
            names << l->text() + (l->styleSheet().contains("#00FF00") ? "*" : "");
        return names;
    };
    EXPECT_EQ(rows(), (QStringList{"A.b.tzfile", "b.tzfile", "c.tzfile"}));
    EXPECT_EQ(g_tzfile_name.get(), "/data/smartmapping/A.b.tzfile");
    key(panel::kKeyRight, 3);
    EXPECT_EQ(rows(), QStringList{"u.tzfile*"});
    EXPECT_EQ(g_tzfile_name.get(), "/mnt/usb1/u.tzfile");
    key(panel::kKeyRight); // past the last row: the first page, row 0
    EXPECT_EQ(rows().first(), "A.b.tzfile");
    key(panel::kKeyRight);
    key(panel::kKeyOk); // choose b.tzfile, then Load
    EXPECT_EQ(g_tzfile_name.get(), "/data/smartmapping/b.tzfile");
    g_send_para.job = 3; // the last job not yet cleared
    tap("Button_load");
    EXPECT_EQ(g_send_para.job.load(), 3);
    EXPECT_EQ(g_qround_bar, nullptr);
    g_send_para.job = 0;
    key(panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 2);
    EXPECT_EQ(g_send_para.step.load(), 0);
    EXPECT_EQ(line_type.port, 2);
    ASSERT_NE(g_qround_bar, nullptr);
    key(panel::kKeyBack); // the file page stays while the job runs
    key(panel::kKeyBack);
    EXPECT_EQ(page(), 5);
}

// The group buttons have the blue tab look only when touched: previewed, or
// left by the keypad, they are drawn in the normal style, on the load-scan
// port page as on the wizard's step 2.
TEST_F(SmartMappingScreen, GroupButtonsLeftByTheKeypadOrPreviewedAreDrawnNormal)
{
    const QString normal = "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
    const QString tab = "background-color: #4777FF;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
    writeFile("/mnt/usb1/u.tzfile", "scan");
    open();
    key(panel::kKeyRight); // preview of load scan
    ASSERT_EQ(page(), 4);
    EXPECT_EQ(styleOf("Button_wlan5"), normal);
    EXPECT_TRUE(focused("Button_loadscan"));
    key(panel::kKeyOk);
    EXPECT_TRUE(focused("Button_wlan5"));
    key(panel::kKeyRight);
    EXPECT_EQ(styleOf("Button_wlan5"), normal);
    EXPECT_TRUE(focused("Button_wlan6"));
    key(panel::kKeyRight);
    EXPECT_EQ(styleOf("Button_wlan6"), normal);
    EXPECT_TRUE(focused("Button_next_5"));
    key(panel::kKeyRight); // back on the first group
    EXPECT_TRUE(focused("Button_wlan5"));
    key(panel::kKeyBack);  // to the main menu
    EXPECT_EQ(styleOf("Button_wlan5"), normal);
    tap("Button_wlan6");
    EXPECT_EQ(styleOf("Button_wlan6"), tab);

    key(panel::kKeyLeft); // the wizard: step 2 by the keypad
    key(panel::kKeyOk);
    key(panel::kKeyLeft);
    key(panel::kKeyOk);
    ASSERT_EQ(page(), 1);
    EXPECT_TRUE(focused("Button_wlan1"));
    key(panel::kKeyRight);
    EXPECT_EQ(styleOf("Button_wlan1"), normal);
    key(panel::kKeyRight);
    EXPECT_EQ(styleOf("Button_wlan2"), normal);
    EXPECT_TRUE(focused("Button_front_2"));
}

TEST_F(SmartMappingScreen, NoScanFileShowsTheNoticeRowAndLoadDoesNothing)
{
    writeFile("/data/smartmapping/notes.txt", "x"); // counts for the menu, not for the list
    fpga_manage::pInstance();                       // whose reader lists the directory
    open();
    key(panel::kKeyRight);
    key(panel::kKeyOk);
    key(panel::kKeyLeft); // Next
    key(panel::kKeyOk);
    ASSERT_EQ(page(), 5);
    EXPECT_TRUE(focused("Button_front_6"));
    EXPECT_FALSE(focused("Button_load"));
    EXPECT_EQ(child<QFrame>("frame_file")->findChild<QLabel*>()->text(), "No loaded file!");
    EXPECT_TRUE(child<QFrame>("frame_file")->findChildren<QPushButton*>().isEmpty());
    EXPECT_TRUE(g_tzfile_name.get().isEmpty());
    tap("Button_load");
    EXPECT_EQ(g_send_para.job.load(), 0);
    EXPECT_EQ(g_qround_bar, nullptr);
}

TEST_F(SmartMappingScreen, AHundredStoredFilesLeaveNoRoomForTheSticksFiles)
{
    for (int i = 0; i < 100; ++i)
        writeFile(QStringLiteral("/data/smartmapping/s%1.tzfile").arg(i, 3, 10, QLatin1Char('0')).toStdString(), "s");
    writeFile("/mnt/usb1/a.tzfile", "scan");
    open();
    tap("Button_loadscan");
    tap("Button_next_5");
    for (int page = 0; page < 33; ++page)
        paneltest::touch(child<QFrame>("frame_file")->findChildren<QPushButton*>().last()); // the next arrow
    const auto labels = child<QFrame>("frame_file")->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "s099.tzfile");
    EXPECT_TRUE(child<QFrame>("frame_file")->findChildren<QPushButton*>().size() == 2) << "rows and the previous arrow";
}

TEST_F(SmartMappingScreen, StickCodesShowTheNoticeAndListAgainFromTheFirstRow)
{
    for (const char* name : {"a.tzfile", "b.tzfile"})
        writeFile(std::string("/data/smartmapping/") + name, "scan");
    open();
    tap("Button_loadscan");
    tap("Button_next_5");
    paneltest::touch(child<QFrame>("frame_file")->findChild<QPushButton*>("1"));
    EXPECT_EQ(g_tzfile_name.get(), "/data/smartmapping/b.tzfile");
    tap("Button_front_6"); // the file page's flag stays set

    // The watcher's codes come from its own thread.
    writeFile("/mnt/usb1/s.tzfile", "scan");
    std::thread watcher([] {
        VyxRamPara::pInstance()->test_signal(kChangeDeviceAdded);
        VyxRamPara::pInstance()->test_signal(kChangeStorageReady);
    });
    watcher.join();
    EXPECT_EQ(page(), 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, (std::vector<int>{kNoticeUsbConnected, kNoticeReading}));
    EXPECT_EQ(page(), 5);
    EXPECT_EQ(child<QFrame>("frame_file")->findChildren<QLabel*>().size(), 3);
    EXPECT_EQ(child<QFrame>("frame_file")->findChildren<QPushButton*>().size(), 3) << "three files: no arrows";
    EXPECT_EQ(g_tzfile_name.get(), "/data/smartmapping/a.tzfile");

    // Without the file page a removal only resets the choice.
    tap("Button_shortcut");
    store->test_signal(kChangeDeviceRemoved);
    EXPECT_EQ(page(), 0);
}

// A stick event lists the files again and chooses the first row; a load
// already posted still sends the file chosen when Load was pressed, or
// nothing when that file went with the stick.
TEST_F(SmartMappingScreen, AStickEventDuringALoadDoesNotChangeTheFileSent)
{
    QuietLog quiet;
    auto make = [this](const std::string& file, int seed) {
        QJsonObject m = runVyxFiles({"scan", QString::fromStdString(path(file)), "--seed", QString::number(seed),
                                        "--op", "1:1:0x100:64:200"},
            path("/tmp-manifest.json"));
        QJsonObject op = m["operations"].toArray()[0].toObject();
        return readFile(file).mid(16 + int(jsonU32(op["offset"])), int(jsonU32(op["dataLen"])));
    };
    const QByteArray first = make("/data/smartmapping/a.tzfile", 1);
    make("/data/smartmapping/b.tzfile", 2);
    const QByteArray stick = make("/mnt/usb1/u.tzfile", 3);
    ASSERT_EQ(stick.size(), 64);
    ASSERT_NE(stick, first);
    auto ram = [](int port, int card) {
        QByteArray out;
        for (uint32_t a = 0x100; a < 0x140; ++a)
            out.append(char(cards().card(port, card).ramByte(a)));
        return out;
    };
    startFpga();
    open();
    tap("Button_loadscan");

    // The stick's file on LED<port + 1>, Load, then a stick event within the
    // job's first wait of about 2.4 s.
    auto load = [this](int port, const std::function<void()>& stickEvent) {
        tap("Button_wlan5");
        tapTile(port);
        tap("Button_next_5");
        paneltest::touch(child<QFrame>("frame_file")->findChild<QPushButton*>("2"));
        ASSERT_EQ(g_tzfile_name.get(), "/mnt/usb1/u.tzfile");
        tap("Button_load");
        ASSERT_EQ(g_send_para.job.load(), 2);
        ASSERT_TRUE(turnUntil([] { return g_send_para.step.load() == 1; }));
        int turns = 0;
        turnUntil([&turns] { return ++turns > 100; });
        ASSERT_EQ(g_send_para.step.load(), 1) << "still waiting";
        stickEvent();
        EXPECT_EQ(g_tzfile_name.get(), "/data/smartmapping/a.tzfile") << "the list chose its first row";
        ASSERT_TRUE(finishJob());
    };

    load(1, [this] { store->test_signal(kChangeStorageReady); });
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(ram(1, k).toHex().toStdString(), stick.toHex().toStdString()) << k;
    EXPECT_TRUE(fpga->job_message().isEmpty()) << fpga->job_message().toStdString();

    load(2, [this] {
        QFile::remove(QString::fromStdString(path("/mnt/usb1/u.tzfile")));
        store->test_signal(kChangeDeviceRemoved);
    });
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(ram(2, k).toHex().toStdString(), QByteArray(64, '\0').toHex().toStdString()) << k;
    EXPECT_FALSE(fpga->job_message().isEmpty()) << "the file that went is not replaced by another";
}

// A load that ends undone (no cards on its port, the cable pulled, the
// stick pulled) shows the failure notice once its ring has closed, and Load
// takes the next job as soon as the ring is gone; a good load shows none.
TEST_F(SmartMappingScreen, ALoadThatEndsUndoneShowsTheNoticeAfterItsRingAndLoadServesAtOnce)
{
    QuietLog quiet;
    const std::string stick = "/mnt/usb1/u.tzfile";
    const QJsonObject made = runVyxFiles({"scan", QString::fromStdString(path(stick)), "--op", "1:1:0x100:2500:200"},
        path("/tmp-manifest.json"));
    const QByteArray data =
        readFile(stick).mid(16 + int(jsonU32(made["operations"].toArray()[0].toObject()["offset"])), 2500);
    startFpga();
    std::vector<bool> ringUp; // at each notice
    SyncUpdate::setNoticeHook([&](int kind) {
        notices.push_back(kind);
        ringUp.push_back(g_qround_bar != nullptr);
    });
    open();
    tap("Button_loadscan");
    auto load = [&](int tile) {
        tap("Button_wlan5");
        tapTile(tile);
        tap("Button_next_5");
        paneltest::touch(child<QFrame>("frame_file")->findChild<QPushButton*>("0"));
        tap("Button_load");
        EXPECT_EQ(g_send_para.job.load(), 2);
        EXPECT_NE(g_qround_bar, nullptr);
    };
    auto untilRingCloses = [this] { return turnUntil([] { return g_qround_bar == nullptr; }); };

    load(0); // LED1, four cards
    ASSERT_TRUE(finishJob());
    EXPECT_TRUE(notices.empty());
    QByteArray ram;
    for (uint32_t a = 0x100; a < 0x100 + 2500; ++a)
        ram.append(char(cards().card(0, 3).ramByte(a)));
    EXPECT_TRUE(ram == data) << "the last card of LED1 has the file's data";

    load(4); // LED5, no cards
    ASSERT_TRUE(untilRingCloses());
    EXPECT_EQ(notices, std::vector<int>{kNoticeCardJobFailed});
    tap("Button_load"); // at once: the mailbox is free with the ring gone
    EXPECT_EQ(g_send_para.job.load(), 2);
    EXPECT_NE(g_qround_bar, nullptr);
    ASSERT_TRUE(finishJob());

    load(1); // LED2, its cable pulled once the first packet is out
    ASSERT_TRUE(turnUntil([] { return g_send_para.step.load() == 19 && g_send_para.sub_step == 31; }));
    cards().setCards(1, 0);
    platform::simFpga(0).setLinks(uint16_t(platform::simFpga(0).links() & ~0x2u));
    ASSERT_TRUE(finishJob());

    load(2); // LED3, the stick (and its file) pulled while the load runs
    ASSERT_TRUE(turnUntil([] { return g_send_para.step.load() == 19; }));
    QFile::remove(QString::fromStdString(path(stick)));
    ASSERT_TRUE(finishJob());

    EXPECT_EQ(notices, std::vector<int>(4, kNoticeCardJobFailed));
    EXPECT_EQ(ringUp, std::vector<bool>(4, false)) << "each after its ring closed";
}

// The stick pulled 2.7 s into the load of its 100,000-byte scan file: the
// stick notice shows, the load gives up on the file while it is up, and
// its failure notice replaces the stick's text for 300 ticks of its own.
// The worker asked for the file on every turn meanwhile; the reader named
// it missing once.
TEST_F(SmartMappingScreen, APulledStickLoadShowsItsFailureForTheFullTime)
{
    QuietLog quiet;
    const std::string stick = "/mnt/usb1/stick.tzfile";
    runVyxFiles({"scan", QString::fromStdString(path(stick)), "--op", "1:1:0x100:100000:1000"},
                path("/tmp-manifest.json"));
    startFpga();
    // The notices go to the real pop-up, driven by the main window's tick.
    ASSERT_TRUE(bool(previousNotice));
    SyncUpdate::setNoticeHook([this, shown = previousNotice](int kind) {
        notices.push_back(kind);
        shown(kind);
    });
    auto tick = [this] {
        paneltest::ticks(1);
        fpga->fpga_manage_deal(nullptr);
        QCoreApplication::processEvents();
    };
    auto noticeText = [] {
        QLabel* line = g_tip->findChild<QLabel*>();
        return line ? line->text() : QString();
    };
    const QString failed = QStringLiteral("Receiving card\noperation failed");

    open();
    tap("Button_loadscan");
    tap("Button_wlan5");
    tapTile(1); // LED2
    tap("Button_next_5");
    paneltest::touch(child<QFrame>("frame_file")->findChild<QPushButton*>("0"));
    ASSERT_EQ(g_tzfile_name.get(), QString::fromStdString(stick));
    tap("Button_load");
    ASSERT_EQ(g_send_para.job.load(), 2);
    for (int i = 0; i < 270; ++i)
        tick();
    ASSERT_EQ(g_send_para.job.load(), 2) << "the load is still running";
    QuietLog::warnings().clear();

    // The file goes with the stick; the watcher reports it a little later.
    QFile::remove(QString::fromStdString(path(stick)));
    for (int i = 0; i < 25; ++i)
        tick();
    uint32_t stickShown = 0, failureShown = 0;
    int failureUp = 0;
    ModalDriver drive;
    drive.then([&] {
        stickShown = G_timeTicks.load();
        EXPECT_EQ(noticeText(), "USB drive is unplugged.");
        EXPECT_EQ(child<QFrame>("frame_file")->findChild<QLabel*>()->text(), "No loaded file!");
        for (int i = 0; i < 1000 && g_tip->isVisible() && noticeText() != failed; ++i)
            tick();
        ASSERT_EQ(noticeText(), failed);
        failureShown = G_timeTicks.load();
        while (g_tip->isVisible() && failureUp < 1000) {
            tick();
            ++failureUp;
        }
    });
    drive.run([this] { store->test_signal(kChangeDeviceRemoved); });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_LT(failureShown - stickShown, 300u) << "the failure came while the stick notice was up";
    EXPECT_EQ(failureUp, 300) << "the failure notice's own time";
    EXPECT_EQ(notices, (std::vector<int>{kNoticeUsbUnplugged, kNoticeCardJobFailed}));
    EXPECT_EQ(g_send_para.job.load(), 0);
    EXPECT_EQ(g_qround_bar, nullptr);
    EXPECT_NE(fpga->job_message().indexOf("no such file"), -1) << fpga->job_message().toStdString();
    EXPECT_EQ(QuietLog::warnings().filter("stick.tzfile: no such file").size(), 1)
        << QuietLog::warnings().join('\n').toStdString();
}

TEST_F(SmartMappingScreen, PcDeletingTheScanFilesClosesTheScreenInTheGuiThread)
{
    writeFile("/data/smartmapping/a.tzfile", "scan");
    fpga_manage::pInstance();
    open();
    std::thread pc([] {
        const uint8_t tag[4] = {'T', 'Z', 'F', 'R'};
        uint16_t count = 0;
        file_transfer::delete_files(13, tag, QByteArray(), &count);
        EXPECT_EQ(count, 1);
    });
    pc.join();
    EXPECT_NE(g_smartmapping, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(g_smartmapping, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageOption);
}

// The PC closes the screen while the number keyboard, opened by the keypad's
// OK, runs inside the screen's key handler: the keyboard goes with the
// screen, and the screen is freed only once that handler has returned.
TEST_F(SmartMappingScreen, APcCloseWhileTheKeypadsKeyboardIsUpTakesTheKeyboardAlongAndSparesTheHandler)
{
    writeFile("/data/smartmapping/a.tzfile", "scan");
    fpga_manage::pInstance();
    open();
    key(panel::kKeyOk); // into the wizard, on the cabinet width
    QPointer<SmartMapping> screen = g_smartmapping;
    bool handlerReturned = false, freedUnderHandler = false;
    QObject::connect(screen, &QObject::destroyed, [&] { freedUnderHandler = !handlerReturned; });

    ModalDriver drive;
    drive
        .then([] {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            std::thread pc([] {
                const uint8_t tag[4] = {'T', 'Z', 'F', 'R'};
                uint16_t count = 0;
                file_transfer::delete_files(13, tag, QByteArray(), &count);
            });
            pc.join();
        })
        .then([] {}) // the PC's call, queued meanwhile, runs before the next step
        .then([] {
            EXPECT_EQ(g_smartmapping, nullptr);
            EXPECT_EQ(g_page_focus.load(), kPageOption);
            if (g_numberkeyboard->isVisible()) {
                ADD_FAILURE() << "the keyboard stayed up after its screen closed";
                g_numberkeyboard->findChild<QPushButton*>(QStringLiteral("Button_close"))->click();
            }
        });
    drive.run([&] {
        key(panel::kKeyOk);
        handlerReturned = true;
    });
    EXPECT_FALSE(drive.timedOut());
    EXPECT_FALSE(freedUnderHandler);
    EXPECT_FALSE(g_numberkeyboard->isVisible());
    paneltest::flushDeferredDeletes();
    EXPECT_TRUE(screen.isNull());
}

// ----------------------------------------------------- curing and mapping

TEST_F(SmartMappingScreen, MappingSwitchFlipsTheRegisterOnceForTwoQuickPressesAndJobFourReachesEveryCard)
{
    startFpga();
    platform::simFpga(0).setReg(0, 0x05);
    open();
    tap("Button_mapping");
    EXPECT_EQ(page(), 7);
    EXPECT_EQ(child("Button_mapping_state")->property("png").toString(), ":/png/button_off.png");
    EXPECT_EQ(g_send_para.job.load(), 0);

    tap("Button_mapping_state");
    tap("Button_mapping_state");
    EXPECT_EQ(platform::simFpga(0).reg(0), 0x85);
    EXPECT_EQ(g_send_para.mapping.load(), 9u);
    EXPECT_EQ(child("Button_mapping_state")->property("png").toString(), ":/png/button_on.png");
    ASSERT_TRUE(finishJob());
    for (int port = 0; port < 4; ++port)
        for (int k = 0; k < cards().cards(port); ++k)
            EXPECT_EQ(cards().card(port, k).mapping(), 9) << port << "/" << k;

    // Refused before the register is touched while the last job is not cleared.
    g_send_para.job = 4;
    tap("Button_mapping_state");
    EXPECT_EQ(platform::simFpga(0).reg(0), 0x85);
    g_send_para.job = 0;

    // Shown again with bit 7 set: on, and nothing posted.
    tap("Button_shortcut");
    tap("Button_mapping");
    EXPECT_EQ(child("Button_mapping_state")->property("png").toString(), ":/png/button_on.png");
    EXPECT_EQ(g_send_para.job.load(), 0);
}
