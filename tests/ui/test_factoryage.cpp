// The ageing monitor: the waiting text of an empty log, pages of sixteen
// lines turned by keys and touches, the five checks in green or red, the
// zero-padded registers, the step counters, and the tick that adds a line
// to the open page.
#include "tests/support/panel_fixture.h"
#include "tests/ui/setup_screens.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QTime>

#include "platform/clock.h"
#include "platform/fpga_sim.h"
#include "platform/sim_chips.h"
#include "ui/setup/factoryage.h"

using paneltest::key;

namespace {

class FactoryageScreen : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        platform::setClockForTest(QDateTime(QDate(2024, 3, 15), QTime(9, 5)));
    }
    void TearDown() override
    {
        platform::setClockForTest(QDateTime());
        PanelTest::TearDown();
    }
    factoryage* open() { return screen = openScreen(g_factoryage, kPageFactoryage); }
    // The page label is the only label inside the frame.
    QString page() const { return screen->findChild<QWidget*>("frame")->findChild<QLabel*>()->text(); }
    QString label(const char* name) const { return screen->findChild<QLabel*>(name)->text(); }
    QStringList counters() const
    {
        QStringList out;
        for (const char* name : {"label_3", "label_5", "label_10", "label_20", "label_more"})
            out << label(name);
        return out;
    }
    static void logLines(int n)
    {
        for (int i = 0; i < n; ++i)
            factoryage_log << QStringLiteral("03-04 10:%1 %2 31 0").arg(i % 60, 2, 10, QLatin1Char('0')).arg(i);
    }

    factoryage* screen = nullptr;
};

QString agePass(const char* check) { return QStringLiteral("<font color = #00FF00 >%1</font>").arg(check); }
QString ageFault(const char* check) { return QStringLiteral("<font color = #FF0000 >%1</font>").arg(check); }

} // namespace

TEST_F(FactoryageScreen, AnEmptyLogShowsTheTimeAndTheWaitingText)
{
    open();
    EXPECT_EQ(page(), QString::fromUtf8("03-15 09:05  正在老化中..."));
    EXPECT_EQ(counters(), (QStringList{"0<3", "0<5", "0<10", "0<20", "0>20"}));
    EXPECT_EQ(label("page_info"), "0");
    EXPECT_EQ(label("label_page"), "0/0");
    // Next and Priv have nothing to turn.
    key(screen, panel::kKeyOk);
    key(screen, panel::kKeyRight);
    key(screen, panel::kKeyOk);
    EXPECT_EQ(label("label_page"), "0/0");
    // A refresh of a log still empty numbers the page 1/0.
    screen->update_agelog();
    EXPECT_EQ(page(), QString::fromUtf8("03-15 09:05  正在老化中..."));
    EXPECT_EQ(label("label_page"), "1/0");
}

TEST_F(FactoryageScreen, SeventeenLinesMakeTwoPagesTurnedByKeysAndTouchesBothWays)
{
    logLines(17);
    open();
    EXPECT_EQ(label("label_page"), "1/2");
    EXPECT_EQ(label("page_info"), "17");
    EXPECT_EQ(page().count("<br>"), 15);
    EXPECT_TRUE(page().startsWith("03-04 10:00 000 "));

    key(screen, panel::kKeyOk); // Next
    EXPECT_EQ(label("label_page"), "2/2");
    EXPECT_TRUE(page().startsWith("03-04 10:16 016 ")) << page().toStdString();
    EXPECT_EQ(page().count("<br>"), 0);
    key(screen, panel::kKeyOkLetter); // Next on the last page: the first
    EXPECT_EQ(label("label_page"), "1/2");

    key(screen, panel::kKeyRight); // Priv
    EXPECT_TRUE(screen->findChild<QPushButton*>("ButtonPriv")->styleSheet().contains("rgb(255,171,84)"));
    EXPECT_FALSE(screen->findChild<QPushButton*>("ButtonNext")->styleSheet().contains("rgb(255,171,84)"));
    key(screen, panel::kKeyOk); // Priv on the first page: the last
    EXPECT_EQ(label("label_page"), "2/2");

    paneltest::touch(screen->findChild<QPushButton*>("ButtonNext"));
    EXPECT_EQ(label("label_page"), "1/2");
    paneltest::touch(screen->findChild<QPushButton*>("ButtonPriv"));
    EXPECT_EQ(label("label_page"), "2/2");

    key(screen, panel::kKeyBack);
    EXPECT_EQ(g_factoryage, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
}

TEST_F(FactoryageScreen, ChecksInGreenOrRedRegistersPaddedMalformedLinesLeftOut)
{
    factoryage_log << "03-04 10:20 7 28 5"
                   << "03-04 10:23 250 31 123"
                   << "03-04 10:26 12 0"; // four fields: counted, not shown
    factoryage_log_diff3 = 3;
    factoryage_log_diff5 = 1;
    factoryage_log_diff20 = 2;
    factoryage_log_diffmore = 9;
    open();
    const QString first = "03-04 10:20 007 " + ageFault("DDR0") + ' ' + ageFault("DDR1") + ' ' + agePass("DE") + ' '
        + agePass("HS") + ' ' + agePass("VS") + " 005";
    const QString second = "03-04 10:23 250 " + agePass("DDR0") + ' ' + agePass("DDR1") + ' ' + agePass("DE") + ' '
        + agePass("HS") + ' ' + agePass("VS") + " 123";
    EXPECT_EQ(page(), first + "<br>" + second);
    EXPECT_EQ(label("page_info"), "3");
    EXPECT_EQ(counters(), (QStringList{"3<3", "1<5", "0<10", "2<20", "9>20"}));
}

TEST_F(FactoryageScreen, TheTickAddsASampleOfFpga0ToTheOpenPage)
{
    ASSERT_NO_FATAL_FAILURE(bringFpga0Up());
    mainWindow();
    G_timeTicks = 0;
    logLines(17);
    open();
    key(screen, panel::kKeyOk); // the second page, one line
    platform::simFpga(0).setReg(42, 9);
    platform::simFpga(0).setReg(40, 30);
    platform::simFpga(0).setReg(43, 77);
    paneltest::ticks(17999);
    EXPECT_EQ(label("page_info"), "17");
    paneltest::ticks(1);
    EXPECT_EQ(label("page_info"), "18");
    EXPECT_EQ(label("label_page"), "2/2") << "the page stays";
    EXPECT_TRUE(page().endsWith("<br>03-15 09:05 009 " + ageFault("DDR0") + ' ' + agePass("DDR1") + ' '
                                + agePass("DE") + ' ' + agePass("HS") + ' ' + agePass("VS") + " 077"))
        << page().toStdString();
    // Register 42 went from 16 to 9 over the wrap: a step of 249.
    EXPECT_EQ(label("label_more"), "1>20");
}
