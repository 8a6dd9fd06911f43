// The ageing sample the tick takes every 180 s from FPGA 0's registers 42,
// 40 and 43: when it is taken, what a line holds, how far register 42 moved
// between two samples, and the log's seven-day length.
#include "tests/fpga/fpga_fixture.h"
#include "tests/support/panel.h"

#include <QDate>
#include <QTime>

#include "platform/clock.h"
#include "ui/shell/mainwindow.h"

namespace {

class Ageing : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        platform::setClockForTest(QDateTime(QDate(2024, 3, 15), QTime(9, 5)));
        window = new MainWindow(nullptr);
        g_mainwindow = window;
    }
    void TearDown() override
    {
        delete window;
        g_mainwindow = nullptr;
        platform::setClockForTest(QDateTime());
        FpgaTest::TearDown();
    }
    // FPGA 0 running, the time base back at 0.
    void running()
    {
        startUp();
        G_timeTicks = 0;
    }
    void sample(uint8_t r42, uint8_t r40 = 31, uint8_t r43 = 7)
    {
        sim(0).setReg(42, r42);
        sim(0).setReg(40, r40);
        sim(0).setReg(43, r43);
        window->getagelog();
    }
    uint32_t counters() const
    {
        return factoryage_log_diff3 + factoryage_log_diff5 + factoryage_log_diff10 + factoryage_log_diff20
            + factoryage_log_diffmore;
    }
    MainWindow* window = nullptr;
};

} // namespace

TEST_F(Ageing, FirstCheckAtTick18000AndSkippedWhileAPcCommandRuns)
{
    running();
    pc_cmd_valid = 1;
    paneltest::ticks(17999);
    EXPECT_EQ(G_factoryage_ticks.load(), 0u);
    paneltest::ticks(1);
    EXPECT_EQ(G_factoryage_ticks.load(), 18000u);
    EXPECT_TRUE(factoryage_log.isEmpty());

    pc_cmd_valid = 0;
    sim(0).setReg(42, 12);
    paneltest::ticks(17999);
    EXPECT_TRUE(factoryage_log.isEmpty());
    paneltest::ticks(1);
    ASSERT_EQ(factoryage_log.size(), 1);
    EXPECT_EQ(G_factoryage_ticks.load(), 36000u);
}

TEST_F(Ageing, NoManagerNoSampleButTheStampMovesOn)
{
    paneltest::ticks(18000);
    EXPECT_TRUE(factoryage_log.isEmpty());
    EXPECT_EQ(G_factoryage_ticks.load(), 18000u);
}

TEST_F(Ageing, LineHoldsTimeAndRegisters42_40_43)
{
    running();
    sample(250, 31, 7);
    EXPECT_EQ(factoryage_log, QStringList{"03-15 09:05 250 31 7"});
    EXPECT_EQ(counters(), 0u); // a single line counts nothing
}

TEST_F(Ageing, StepsOfRegister42AreCountedWithItsWrap)
{
    running();
    sample(250);
    sample(3); // 250 -> 3 over the wrap: 9
    EXPECT_EQ(factoryage_log_diff10, 1u);
    sample(3); // no step
    EXPECT_EQ(counters(), 1u);
    sample(5);  // 2
    sample(9);  // 4
    sample(28); // 19
    sample(48); // 20
    EXPECT_EQ(factoryage_log_diff3, 1u);
    EXPECT_EQ(factoryage_log_diff5, 1u);
    EXPECT_EQ(factoryage_log_diff20, 1u);
    EXPECT_EQ(factoryage_log_diffmore, 1u);
}

TEST_F(Ageing, LogKeepsSevenDaysOfSamples)
{
    running();
    for (int i = 0; i < 3360; ++i)
        factoryage_log.append(QStringLiteral("01-01 00:00 %1 0 0").arg(i % 256));
    sample(77);
    EXPECT_EQ(factoryage_log.size(), 3360);
    EXPECT_EQ(factoryage_log.first(), "01-01 00:00 1 0 0");
    EXPECT_EQ(factoryage_log.last(), "03-15 09:05 77 31 7");
}
