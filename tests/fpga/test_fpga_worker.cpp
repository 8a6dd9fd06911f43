// The worker on its own thread: it brings FPGA 0 up by itself while the
// ticks advance, serves a raised flag when woken, and stops on request.
#include "fpga_fixture.h"

#include <QCoreApplication>
#include <QThread>

namespace {

class FpgaWorker : public FpgaTest {
protected:
    // Advances the ticks (as the panel's timer would) and delivers queued
    // signals until `done` holds; a bound, not a timing expectation.
    bool tickUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 60000; ++i) {
            if (done())
                return true;
            ++G_timeTicks;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(500);
        }
        return done();
    }
};

TEST_F(FpgaWorker, BringsFpga0UpOnItsOwnThreadAndStops)
{
    fpga_manage* m = manager();
    g_source_online = 2;
    ASSERT_EQ(m->initialize_start(), 0);
    EXPECT_EQ(m->initialize_start(), 0); // one worker only
    ASSERT_TRUE(tickUntil([m] { return m->get_fpga_status() == 1; }));
    ASSERT_TRUE(tickUntil([m] { return m->check_state[0].load() == 18; }));
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00);
    EXPECT_TRUE(tickUntil([this] { return count(kChangeInputTiming) == 1 && count(kChangePortState) == 1; }));

    // An idle worker serves a raised flag as soon as it is woken.
    setImage16(ram::kLedOff, 1);
    m->output_status_flag = 1;
    fpga_manage::wake();
    EXPECT_TRUE(tickUntil([m] { return m->output_status_flag.load() == 0; }));
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);

    fpga_manage::destroyForTest();
    EXPECT_EQ(fpga_manage::p_fpga_manage, nullptr);
    EXPECT_EQ(fpga_manage::MCU_REG_func[0], nullptr);
    EXPECT_TRUE(bus().busErrors().empty());
}

} // namespace
