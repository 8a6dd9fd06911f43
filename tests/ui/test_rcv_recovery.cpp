// The receiving-card recovery screen against the FPGA worker and the
// simulated card chains, with a recovery file made by tools/vyxfiles.py:
// Query lists the card that lost its set-up, Recovery restores it and the
// list empties; the red card number refuses a recovery; a job, or its ring,
// holds every key; the PC's call closes the screen in the GUI thread.
#include "tests/support/panel_fixture.h"
#include "tests/support/vyxfiles_tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "core/screen_hooks.h"
#include "fpga/fpga_manage.h"
#include "platform/card_sim.h"
#include "ui/rcvtools/rcv_recovery.h"
#include "ui/shell/QRoundProgressBar.h"
#include "video_io/zevlosource.h"

using paneltest::key;
using paneltest::touch;

namespace {

const char* const kFocusedItem = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const QString kNoCards = QStringLiteral("No receiving cards that need to be updated!");

class RecoveryScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        QDir().mkpath(QString::fromStdString(path("/data/rcvrecovery")));
    }

    // FPGA 0 running with its start-up chains counted (outputs 1-4, four
    // cards each); the worker turns only when the test turns it.
    void startWorker()
    {
        zevlosource::pInstance()->setup_state[0] = 2;
        worker = fpga_manage::pInstance();
        worker->softinit();
        worker->write_to_register(80, 0xFF, 3, 0);
        ASSERT_TRUE(turnUntil([this] {
            if (worker->get_fpga_status() != 1)
                return false;
            for (uint8_t p = 0; p < 4; ++p)
                if (worker->get_port_card_num(p) != 4)
                    return false;
            return true;
        }));
    }
    // The worker's turns in a thread of their own, as on the device, until
    // `done` holds there: what it reports reaches the screen queued, in the
    // order it was sent, while the test's thread serves the events.
    bool turnUntil(const std::function<bool()>& done, int maxTurns = 20000)
    {
        std::atomic<bool> over{false};
        bool reached = false;
        std::thread turns([&] {
            for (int i = 0; i < maxTurns && !(reached = done()); ++i) {
                ++G_timeTicks;
                worker->fpga_manage_deal(nullptr);
            }
            over = true;
        });
        const bool ended = waitFor([&] { return over.load(); }, 60000);
        turns.join();
        QCoreApplication::processEvents();
        return ended && reached;
    }
    bool finishJob()
    {
        return turnUntil([] { return g_send_para.job.load() == 0; });
    }

    rcv_recovery* open()
    {
        g_rcv_recovery = new rcv_recovery(nullptr);
        g_page_focus = kPageRcvRecovery;
        g_rcv_recovery->show();
        return g_rcv_recovery;
    }

    // The worker's report of a query, as it arrives: the list, then the code.
    void report(const QStringList& lines, uint16_t result, int code = kChangeRefresh)
    {
        screen_hooks::post(ScreenListHook::RcvRecoveryList, lines);
        QCoreApplication::processEvents();
        g_send_para.result = result;
        store->test_signal(code);
    }

    static QStringList rows(QWidget* screen)
    {
        QStringList out;
        QFrame* box = screen->findChild<QFrame*>(QStringLiteral("frame_file"));
        for (QLabel* l : box->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            out << l->text();
        return out;
    }
    static QPushButton* item(QWidget* screen, const char* name)
    {
        return screen->findChild<QPushButton*>(QLatin1String(name));
    }

    fpga_manage* worker = nullptr;
    QuietLog quiet;
};

} // namespace

TEST_F(RecoveryScreen, QueryListsTheLostCardRecoveryRestoresItAndTheListEmpties)
{
    runVyxFiles({"recovery", QString::fromStdString(path("/data/rcvrecovery/TZFX")), "--ports", "0,1", "--cards", "4",
                    "--config-id", "0x12345678", "--card-op", "1:1:0x100:64:1000", "--card-op", "2:3:0:0:2000"},
        path("/tmp-manifest.json"));
    startWorker();
    platform::SimCardChains& cards = platform::simCards(0);
    cards.setConfigId(0, 0x12345678);
    cards.setConfigId(1, 0x12345678);
    cards.loseSetup(1, 2);

    rcv_recovery* screen = open();
    EXPECT_EQ(rows(screen), QStringList{kNoCards});
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 5);
    ASSERT_NE(g_qround_bar, nullptr);
    ASSERT_TRUE(finishJob());
    EXPECT_EQ(g_qround_bar, nullptr) << "the ring closed at 100";
    EXPECT_EQ(screen->recovery_list(), QStringList{"01/02/03/04"});
    EXPECT_EQ(rows(screen), QStringList{"Find Screen01, LED02, Rcv<font color = #FFFFFF >03</font>"});

    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 6);
    ASSERT_TRUE(finishJob());
    EXPECT_FALSE(cards.card(1, 2).needs_recovery);
    EXPECT_TRUE(screen->recovery_list().isEmpty());
    EXPECT_EQ(rows(screen), QStringList{kNoCards}) << "code 99 empties the list";
    EXPECT_EQ(g_qround_bar, nullptr);
    EXPECT_TRUE(notices.empty()) << "both did their work";
}

// A query that could not run shows the failure notice once its ring has
// closed, and the next press is served at once: with nothing listed, OK on
// Recovery moves the focus to Query.
TEST_F(RecoveryScreen, AQueryThatCouldNotRunShowsTheNoticeAndTheNextPressIsServedAtOnce)
{
    startWorker();
    std::vector<bool> ringUp; // at each notice
    SyncUpdate::setNoticeHook([&](int kind) {
        notices.push_back(kind);
        ringUp.push_back(g_qround_bar != nullptr);
    });
    QDir(QString::fromStdString(path("/data/rcvrecovery"))).removeRecursively();
    rcv_recovery* screen = open();
    key(screen, panel::kKeyOk);
    ASSERT_EQ(g_send_para.job.load(), 5);
    // The worker's turns in this thread, until the ring has closed.
    for (int i = 0; i < 20000 && g_qround_bar; ++i) {
        ++G_timeTicks;
        worker->fpga_manage_deal(nullptr);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(g_qround_bar, nullptr);
    EXPECT_EQ(notices, std::vector<int>{kNoticeCardJobFailed});
    EXPECT_EQ(ringUp, std::vector<bool>{false});

    key(screen, panel::kKeyRight);
    ASSERT_EQ(item(screen, "Button_self_covery")->styleSheet(), QLatin1String(kFocusedItem));
    key(screen, panel::kKeyOk);
    EXPECT_EQ(item(screen, "Button_check")->styleSheet(), QLatin1String(kFocusedItem)) << "back on Query";
    EXPECT_EQ(g_send_para.job.load(), 0);
    EXPECT_EQ(g_qround_bar, nullptr);
}

TEST_F(RecoveryScreen, ARedCardNumberRefusesRecoveryAndAWhiteOneStartsIt)
{
    rcv_recovery* screen = open();
    report({"01/03/05/04"}, 4);
    touch(item(screen, "Button_check"));
    touch(item(screen, "Button_self_covery"));
    EXPECT_EQ(g_send_para.job.load(), 0) << "only the keypad runs them";
    EXPECT_EQ(rows(screen), QStringList{"Find Screen01, LED03, Rcv<font color = #FF0000 >05</font>"});
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 0);
    EXPECT_EQ(g_qround_bar, nullptr);

    report({"01/03/04/04"}, 3);
    EXPECT_EQ(rows(screen), QStringList{"Find Screen01, LED03, Rcv<font color = #FFFFFF >04</font>"});
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 6);
    EXPECT_EQ(g_send_para.step.load(), 0);
    EXPECT_NE(g_qround_bar, nullptr);
    EXPECT_EQ(item(screen, "Button_self_covery")->styleSheet(), QLatin1String(kFocusedItem));
}

TEST_F(RecoveryScreen, AQueryForgetsTheEarlierCardAndOnlyCode99OrAResultRebuilds)
{
    rcv_recovery* screen = open();
    report({"01/02/03/04"}, 2);
    ASSERT_EQ(rows(screen).size(), 1);

    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 5);
    EXPECT_TRUE(screen->recovery_list().isEmpty()) << "what is listed is what can be recovered";
    EXPECT_EQ(rows(screen), QStringList{kNoCards});
    // The query found nothing; the ring closes, the job ends.
    emit screen->sig_qround_bar_update(100);
    g_send_para.job = 0;
    g_send_para.result = 255;
    store->test_signal(kChangeRefresh);
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 0) << "nothing to restore";
    EXPECT_EQ(item(screen, "Button_check")->styleSheet(), QLatin1String(kFocusedItem)) << "back on Query";

    // A list with no card to report is drawn only on code 99.
    screen_hooks::post(ScreenListHook::RcvRecoveryList, QStringList{"01/01/01/01"});
    QCoreApplication::processEvents();
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(rows(screen), QStringList{kNoCards});
    store->test_signal(kChangeRecovery);
    EXPECT_EQ(rows(screen).size(), 1);
    EXPECT_NE(rows(screen)[0], kNoCards);
}

TEST_F(RecoveryScreen, ShowsNoMoreRowsThanItHoldsFourAPage)
{
    rcv_recovery* screen = open();
    report({"01/01/01/04", "01/01/02/04", "01/01/03/04", "01/01/04/04", "01/02/01/04"}, 0);
    EXPECT_EQ(rows(screen).size(), 4);
    QPushButton* next = screen->findChild<QPushButton*>(QStringLiteral("Button_next"));
    ASSERT_NE(next, nullptr);
    touch(next);
    EXPECT_EQ(rows(screen), QStringList{"Find Screen01, LED02, Rcv<font color = #FFFFFF >01</font>"});
    report({"01/01/01/04"}, 0);
    EXPECT_EQ(rows(screen).size(), 1) << "a shorter list goes back to a page it has";

    // Chinese names its words; the numbers stay.
    store->ram_para[ram::kLanguage] = panel::kEnglish;
    takeSnapshot();
    store->ram_para[ram::kLanguage] = panel::kChinese;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(rows(screen), QStringList{"发现 屏幕01, 网口01, 接收卡<font color = #FFFFFF >01</font>"});
    EXPECT_EQ(item(screen, "Button_check")->text(), QStringLiteral("查询"));
}

TEST_F(RecoveryScreen, TheListsTextsAreInItsSevenPointFontBeforeAndAfterARowIsTouched)
{
    rcv_recovery* screen = open();
    QFrame* box = screen->findChild<QFrame*>(QStringLiteral("frame_file"));
    QLabel* empty = box->findChild<QLabel*>();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->font().pointSize(), 7) << "the empty line";
    report({"01/02/03/04"}, 2);
    box = screen->findChild<QFrame*>(QStringLiteral("frame_file"));
    touch(box->findChild<QPushButton*>(QStringLiteral("0")));
    QLabel* row = box->findChild<QLabel*>();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->styleSheet(), QStringLiteral("background-color:#4777FF;color: #FFFFFF;"));
    EXPECT_EQ(row->font().pointSize(), 7) << "a touched row";
}

TEST_F(RecoveryScreen, ARunningJobOrItsRingHoldsEveryKey)
{
    rcv_recovery* screen = open();
    g_send_para.job = 2;
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_qround_bar, nullptr) << "another job is still in the mailbox";
    g_send_para.job = 0;

    key(screen, panel::kKeyOk);
    ASSERT_NE(g_qround_bar, nullptr);
    g_send_para.job = 0; // the worker took it; the ring still waits for 100
    key(screen, panel::kKeyOk);
    EXPECT_EQ(g_send_para.job.load(), 0) << "no second job while the ring is up";
    key(screen, panel::kKeyRight);
    EXPECT_EQ(item(screen, "Button_check")->styleSheet(), QLatin1String(kFocusedItem));
    key(screen, panel::kKeyBack);
    key(screen, panel::kKeyMode);
    screen_hooks::post(ScreenHook::RcvRecoveryBack, kPageRcvRecovery);
    QCoreApplication::processEvents();
    EXPECT_EQ(g_rcv_recovery, screen);
    EXPECT_EQ(g_page_focus.load(), kPageRcvRecovery);

    screen_hooks::post(ScreenValueHook::RcvRecoveryProgress, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(g_qround_bar, nullptr);
    // Now the PC's deletion of the file closes it, from its own thread.
    std::thread pc([] { screen_hooks::post(ScreenHook::RcvRecoveryBack, kPageRcvRecovery); });
    pc.join();
    EXPECT_EQ(g_rcv_recovery, screen) << "carried into the GUI thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(g_rcv_recovery, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
}
