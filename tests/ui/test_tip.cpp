// The pop-up notice: each kind's box and text in every language, its close
// on the 300th tick of the main window, notices that overlap, and the
// dispatcher's notice raised by a global key while worker threads signal.
#include "tests/ui/widgets_fixture.h"
#include "tests/support/vyxfiles_tool.h"

#include <QFontMetrics>
#include <QFrame>
#include <QRegularExpression>
#include <QLabel>
#include <QPixmap>
#include <QVariant>
#include <atomic>
#include <thread>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/shared_bytes.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/shell/vyx_keyboard.h"

namespace {

class Notice : public WithMainWindow {
protected:
    void SetUp() override
    {
        WithMainWindow::SetUp();
        ASSERT_NE(g_tip, nullptr);
    }
    // The notice's content frame (its only direct child), or null.
    QFrame* content() const
    {
        const auto frames = g_tip->findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly);
        return frames.size() == 1 ? frames.front() : nullptr;
    }
    QLabel* contentLabel() const { return content() ? content()->findChild<QLabel*>() : nullptr; }
    // Runs `inside` while notice `kind` is up; false when the watchdog had
    // to close it.
    static bool during(int kind, const std::function<void()>& inside)
    {
        ModalDriver drive;
        drive.then(inside);
        drive.run([kind] { g_tip->tip_create(kind); });
        return !drive.timedOut();
    }
    // Shows notice `kind`, runs `inside` while it is up, then ticks it away.
    static bool show(int kind, const std::function<void()>& inside = [] {})
    {
        return during(kind, [&] {
            inside();
            paneltest::ticks(kTipTicks);
        });
    }

    static constexpr int kTipTicks = 300;
};

} // namespace

TEST_F(Notice, CheckMarkStaysUpForThreeHundredTicks)
{
    paneltest::ticks(250); // no notice up: the count does not move
    bool closedOnTime = false;
    EXPECT_TRUE(during(kNoticeDone, [&] {
        EXPECT_EQ(g_tip_flag.load(), 1);
        EXPECT_TRUE(g_tip->isVisible());
        EXPECT_TRUE(g_tip->isModal());
        EXPECT_EQ(g_tip->geometry(), QRect(100, 60, 120, 120));
        ASSERT_NE(content(), nullptr);
        EXPECT_EQ(content()->geometry(), QRect(0, 0, 120, 120));
        EXPECT_EQ(content()->styleSheet(), "background-color:rgb(136, 138, 133);");
        QLabel* mark = contentLabel();
        ASSERT_NE(mark, nullptr);
        EXPECT_EQ(mark->geometry(), QRect(20, 20, 80, 80));
        EXPECT_TRUE(mark->hasScaledContents());
        EXPECT_EQ(mark->property("png").toString(), ":/png/check_180.png");
        EXPECT_EQ(mark->pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/png/check_180.png").toImage());

        paneltest::ticks(kTipTicks - 1);
        EXPECT_TRUE(g_tip->isVisible());
        EXPECT_EQ(g_tip_flag.load(), 1);
        paneltest::ticks(1);
        closedOnTime = !g_tip->isVisible() && g_tip_flag.load() == 0;
    }));
    EXPECT_TRUE(closedOnTime);
    EXPECT_EQ(g_tip_flag.load(), 0);
    EXPECT_NE(content(), nullptr); // kept, hidden, until the next notice
}

TEST_F(Notice, TextsOfEveryKindInEveryOfferedLanguage)
{
    const int kinds[] = {kNoticeUsbConnected, kNoticeUsbUnplugged, kNoticeReading, kNoticeCardJobFailed};
    struct Case {
        int language;
        uint32_t offered;
        const char* texts[4]; // the kinds above
    };
    const Case cases[] = {
        {panel::kEnglish, 0x1F, {"USB driver is connected,please wait...", "USB drive is unplugged.", "Reading the data,pls wait",
                                 "Receiving card\noperation failed"}},
        {panel::kChinese, 0x1F, {"U盘已接入\n请稍候…", "U盘已拔出", "正在读取中，请稍候…", "接收卡操作失败"}},
        {panel::kRussian,
         0x1F,
         {"Драйвер USB подключен,\nпожалуйста,подождите...", "USB-накопитель отключен \nот сети.",
          "Прочитайте данные,\nпожалуйста,подождите", "Операция с приёмными картами не выполнена"}},
        {panel::kVietnamese, 0x1F, {"Usb đã truy cập\nxin vui lòng chờ …", "USB Thì không kết nối.", "Đang đọc,xin vui lòng chờ …",
                                    "Thao tác với thẻ nhận không thành công"}},
        {panel::kTraditional, 0x1F, {"U盤已接入\n請稍候…", "U盤已拔出", "正在讀取中，請稍候…", "接收卡操作失敗"}},
        // Russian chosen but not offered: English.
        {panel::kRussian, 0x1B, {"USB driver is connected,please wait...", "USB drive is unplugged.", "Reading the data,pls wait",
                                 "Receiving card\noperation failed"}},
    };
    for (const Case& c : cases) {
        g_language = uint8_t(c.language);
        g_lcd_lang_valid = c.offered;
        for (int k = 0; k < 4; ++k) {
            const int kind = kinds[k];
            EXPECT_TRUE(show(kind, [&] {
                EXPECT_EQ(g_tip->geometry(), QRect(50, 60, 220, 120));
                ASSERT_NE(content(), nullptr);
                EXPECT_EQ(content()->geometry(), QRect(0, 0, 220, 120));
                QLabel* line = contentLabel();
                ASSERT_NE(line, nullptr);
                EXPECT_EQ(line->geometry(), QRect(5, 5, 200, 100));
                // 15 px unless a word would not fit the label's width.
                if (c.language == panel::kEnglish) {
                    EXPECT_EQ(line->styleSheet(), "font: 15px");
                }
                EXPECT_LE(line->font().pixelSize(), 15);
                EXPECT_TRUE(line->wordWrap());
                const QFontMetrics metrics(line->font());
                for (const QString& word : line->text().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
                    EXPECT_LE(metrics.horizontalAdvance(word), line->width()) << word.toStdString();
                EXPECT_EQ(line->alignment(), Qt::AlignCenter);
                EXPECT_EQ(line->text(), QString::fromUtf8(c.texts[k])) << c.language << " kind " << kind;
            }));
            EXPECT_EQ(g_tip_flag.load(), 0);
        }
    }
}

TEST_F(Notice, SecondNoticeReplacesTheFirstAndEndsWithItsCount)
{
    bool secondReturnedAtOnce = false;
    EXPECT_TRUE(during(kNoticeDone, [&] {
        paneltest::ticks(150);
        g_tip->tip_create(kNoticeUsbUnplugged); // no second modal run
        secondReturnedAtOnce = true;
        EXPECT_EQ(g_tip->geometry(), QRect(50, 60, 220, 120));
        ASSERT_NE(contentLabel(), nullptr);
        EXPECT_EQ(contentLabel()->text(), "USB drive is unplugged.");
        paneltest::ticks(kTipTicks - 1); // its own count, not what was left of the first
        EXPECT_TRUE(g_tip->isVisible());
        paneltest::ticks(1);
        EXPECT_FALSE(g_tip->isVisible());
    }));
    EXPECT_TRUE(secondReturnedAtOnce);
    EXPECT_EQ(g_tip_flag.load(), 0);
}

// The stick notice, then 275 ticks later a receiving-card job's failure
// through the dispatcher: the failure replaces the stick's text and is up
// for 300 ticks from then, not for what was left of the stick's time; the
// one modal run shows both, so Qt is never asked for a second.
TEST_F(Notice, AFailureOverTheStickNoticeIsUpForItsOwnThreeHundredTicks)
{
    QuietLog qt;
    QuietLog::warnings().clear();
    int failureUp = 0;
    EXPECT_TRUE(during(kNoticeUsbUnplugged, [&] {
        paneltest::ticks(275);
        SyncUpdate::notice(kNoticeCardJobFailed);
        ASSERT_NE(contentLabel(), nullptr);
        EXPECT_EQ(contentLabel()->text(), "Receiving card\noperation failed");
        while (g_tip->isVisible() && failureUp < 2 * kTipTicks) {
            EXPECT_EQ(contentLabel()->text(), "Receiving card\noperation failed");
            paneltest::ticks(1);
            ++failureUp;
        }
    }));
    EXPECT_EQ(failureUp, kTipTicks);
    EXPECT_EQ(g_tip_flag.load(), 0);
    EXPECT_TRUE(QuietLog::warnings().filter("QDialog::exec").isEmpty())
        << QuietLog::warnings().join('\n').toStdString();
}

// A notice asked for on the tick that closes the one up (its modal run has
// not returned yet) waits its turn: the run shows it next, for its full
// 300 ticks, and its caller returns at once.
TEST_F(Notice, ANoticeAskedForAsTheLastClosesIsShownNextForItsFullTime)
{
    int phase = 0;
    bool busy = false;
    bool firstClosed = false;
    bool askerReturned = false;
    bool shownNext = false;
    int secondUp = 0;
    QTimer driver;
    driver.setInterval(1);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (busy || !g_tip->isVisible())
            return;
        busy = true;
        if (phase == 0) {
            paneltest::ticks(kTipTicks); // the stick notice's time is up
            firstClosed = !g_tip->isVisible() && g_tip_flag.load() == 0;
            g_tip->tip_create(kNoticeCardJobFailed);
            askerReturned = true;
            phase = 1;
        } else if (phase == 1) {
            shownNext = askerReturned && g_tip_flag.load() == 1 && contentLabel()
                        && contentLabel()->text() == "Receiving card\noperation failed";
            while (g_tip->isVisible() && secondUp < 2 * kTipTicks) {
                paneltest::ticks(1);
                ++secondUp;
            }
            phase = 2;
        }
        busy = false;
    });
    driver.start();
    ModalDriver watchdog;
    watchdog.run([] { g_tip->tip_create(kNoticeUsbUnplugged); });
    EXPECT_FALSE(watchdog.timedOut());
    EXPECT_TRUE(firstClosed);
    EXPECT_EQ(phase, 2) << "the waiting notice was never shown";
    EXPECT_TRUE(shownNext);
    EXPECT_EQ(secondUp, kTipTicks);
    EXPECT_FALSE(g_tip->isVisible());
    EXPECT_EQ(g_tip_flag.load(), 0);
}

TEST_F(Notice, OtherKindsOnlyRemoveTheContent)
{
    EXPECT_TRUE(show(kNoticeDone));
    for (int kind : {2, 0, 6}) {
        g_tip->tip_create(kind); // idle: returns without a modal run
        EXPECT_EQ(content(), nullptr) << kind;
        EXPECT_EQ(g_tip_flag.load(), 0);
        EXPECT_FALSE(g_tip->isVisible());
        EXPECT_EQ(g_tip->geometry(), QRect(100, 60, 120, 120));
    }

    // While a notice is up it stays up, empty, until its count ends.
    EXPECT_TRUE(during(kNoticeReading, [&] {
        g_tip->tip_create(2);
        EXPECT_EQ(content(), nullptr);
        EXPECT_EQ(g_tip_flag.load(), 1);
        EXPECT_EQ(g_tip->geometry(), QRect(50, 60, 220, 120));
        paneltest::ticks(kTipTicks - 1);
        EXPECT_TRUE(g_tip->isVisible());
        paneltest::ticks(1);
    }));
    EXPECT_FALSE(g_tip->isVisible());
}

// A global key on the communication menu raises the dispatcher's two
// notices in the GUI thread; while they are up a worker still signals and
// its change is dispatched.
TEST_F(Notice, GlobalKeyNoticeLeavesWorkerSignalsFree)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    QObject::connect(store, &VyxRamPara::sig_update_para, SyncUpdate::pInstance(), &SyncUpdate::para_sync);
    storeShared(store->ram_para + ram::imageRecord(1) + ram::kImgEnable, uint8_t(1));
    g_image_current = 0;
    g_page_focus = kPageLinkOption;
    std::vector<int> refreshed;
    SyncUpdate::PageRefresh saved =
        SyncUpdate::setPageRefresh(kPageLinkOption, [&](int code) { refreshed.push_back(code); });

    int notices = 0;
    bool mutexFree = false;
    bool workerDispatched = false;
    bool busy = false;
    std::atomic<bool> returned{false};
    std::thread worker;
    QTimer closer;
    closer.setInterval(1);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (busy || !g_tip_flag.load() || !g_tip->isVisible())
            return;
        busy = true;
        if (notices++ == 0) {
            mutexFree = Utils::_test_signal_mutex.tryLock();
            if (mutexFree)
                Utils::_test_signal_mutex.unlock();
            worker = std::thread([&] {
                store->test_signal(kChangeInputTiming);
                returned = true;
            });
            workerDispatched = waitFor([&] {
                return returned.load() && std::count(refreshed.begin(), refreshed.end(), int(kChangeInputTiming)) == 1;
            });
        }
        paneltest::ticks(kTipTicks);
        busy = false;
    });
    closer.start();

    vyx_keyboard keys;
    ModalDriver watchdog;
    watchdog.run([&] { keys.update_usb_keyEvent('C'); });
    // Joined only now: a worker held up by the notice fails the test rather
    // than hang it.
    worker.join();
    EXPECT_EQ(g_image_current.load(), 1);
    EXPECT_EQ(notices, 2); // after the refresh and at the end of the dispatch
    EXPECT_TRUE(mutexFree);
    EXPECT_TRUE(workerDispatched);
    EXPECT_EQ(g_tip_flag.load(), 0);
    SyncUpdate::setPageRefresh(kPageLinkOption, saved);
}
