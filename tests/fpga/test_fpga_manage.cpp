// The FPGA manager: start-up values, the register shadow, the parameter RAM
// built at initialisation and the start-up on the simulated FPGA, one
// worker turn per tick.
#include "fpga_fixture.h"

#include <QDir>
#include <cstring>

namespace {

using namespace fpga_layout;

class FpgaManage : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        m = manager();
        bus().clearJournal();
    }
    Bytes image(int f, int at, int n) const
    {
        const uint8_t* p = fpga_manage::MCU_RAM_PARA_func[f] + at;
        return Bytes(p, p + n);
    }
    // A slot's rectangle in a parameter RAM image.
    std::vector<int> rect(const uint8_t* ram, int slot) const
    {
        int b = rectBase(slot);
        return {le16(ram + b), le16(ram + b + 2), le16(ram + b + 4), le16(ram + b + 6)};
    }
    fpga_manage* m = nullptr;
};

TEST_F(FpgaManage, SoftinitSetsTheControllerImagesAndIdlesTheMailbox)
{
    g_send_para.post(3);
    g_send_para.reply = 1;
    fpga_manage::MCU_RAM_CMD[31] = 9;
    m->softinit();
    const uint8_t* cmd = fpga_manage::MCU_RAM_CMD;
    EXPECT_EQ(Bytes(cmd + 24, cmd + 34), (Bytes{1, 17, 0, 0, 0xFF, 1, 0, 0, 0, 0}));
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[49], 0x9F);
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[50], 0x1F);
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[29], 1);
    EXPECT_EQ(g_send_para.job.load(), 0);
    EXPECT_EQ(g_send_para.step.load(), 255);
    EXPECT_EQ(g_send_para.reply.load(), 0);
    EXPECT_EQ(g_change.power_step_stamp[0], G_timeTicks.load());
}

TEST_F(FpgaManage, TheManagerOwnsTheRecoveryReaderWhichKeepsItsDirectories)
{
    ASSERT_NE(m->p_rcvRecovery, nullptr);
    EXPECT_EQ(fpga_manage::recovery_reader(), m->p_rcvRecovery) << "what the screens reach it through";
    fpga_manage::destroyForTest();
    EXPECT_EQ(fpga_manage::recovery_reader(), nullptr);
    QDir(QString::fromStdString(path("/data/rcvrecovery"))).removeRecursively();
    QDir(QString::fromStdString(path("/data/smartmapping"))).removeRecursively();
    m = fpga_manage::pInstance();
    EXPECT_TRUE(exists("/data/rcvrecovery"));
    EXPECT_TRUE(exists("/data/smartmapping"));
}

TEST_F(FpgaManage, RegisterRangesDecideWhatReachesTheFpga)
{
    uint8_t* shadow0 = fpga_manage::MCU_REG_func[0];
    m->write_to_register(100, 0xFF, 0x55, 0);
    m->write_to_register(170, 0xFF, 0x55, 0);
    EXPECT_EQ(shadow0[100], 0);
    m->write_to_register(70, 0x0F, 0x35, 0);
    EXPECT_EQ(shadow0[70], 0x05);
    m->read_from_register(64, 0);
    m->read_from_register(127, 0);
    EXPECT_TRUE(transfers().empty());

    m->read_from_register(169, 0);
    m->read_from_register(63, 1);
    EXPECT_EQ(transfers(kNode0).size(), 2u);
    EXPECT_EQ(transfers(kNode1).size(), 2u);

    // Register 2: bit 2 runs the command-image handler and bit 1 is the
    // PC's own; the FPGA gets neither, the shadow keeps both.
    sim(0).setReg(2, 0x00);
    bus().clearJournal();
    m->write_to_register(2, 0x0E, 0x0E, 0);
    auto t = transfers(kNode0);
    ASSERT_EQ(t.size(), 4u); // read back, then the write
    EXPECT_EQ(t[2].tx, (Bytes{0x04, 0x00, 0x02, 0x0E}));
    EXPECT_EQ(t[3].tx, (Bytes{0x08}));
    EXPECT_EQ(sim(0).reg(2), 0x08);
    EXPECT_EQ(shadow0[2], 0x0E);
    EXPECT_EQ(m->shadow(2, 0), 0x0E);
}

TEST_F(FpgaManage, ScreenOnOffFromTheUserBecomesTheLedOffWord)
{
    m->write_to_register(0, 0x04, 0x04, 0);
    EXPECT_EQ(image16(ram::kLedOff), 1);
    EXPECT_EQ(count(kChangeRefresh), 1);
    EXPECT_EQ(ScreenState.load(), 0);
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[29], 0);
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);

    m->write_to_register(0, 0x04, 0x00, 0);
    EXPECT_EQ(image16(ram::kLedOff), 0);
    EXPECT_EQ(count(kChangeRefresh), 2);
    EXPECT_EQ(ScreenState.load(), 1);
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[29], 1);

    // Any other mask, an LED-parameter change in progress, or the second
    // operation: only the register and the screen state.
    m->write_to_register(0, 0x84, 0x84, 0);
    EXPECT_EQ(ScreenState.load(), 0);
    g_set_led_para = 1;
    m->write_to_register(0, 0x04, 0x00, 0);
    EXPECT_EQ(ScreenState.load(), 1);
    g_set_led_para = 0;
    m->write_to_0x00_register(0, 0x04, 0x04, 0);
    EXPECT_EQ(ScreenState.load(), 0);
    EXPECT_EQ(sim(0).reg(0), 0x84);
    EXPECT_EQ(image16(ram::kLedOff), 0);
    EXPECT_EQ(count(kChangeRefresh), 2);
}

TEST_F(FpgaManage, DefaultParameterRamWhenTheFlashHoldsNone)
{
    m->fpgainit(0);
    const uint8_t* ram = fpga_manage::MCU_RAM_PARA_func[0];
    for (int i : {1, 3, 4, 5, 6, 7, 30, 61, 63, 116, 117, 119, 120, 121, 122})
        EXPECT_EQ(ram[i], fpga_manage::RAM1[i]) << i;
    EXPECT_EQ(ram[4], 0x76);
    EXPECT_EQ(image(0, kPortNumbers, 10), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (int s = 0; s < 16; ++s)
        EXPECT_EQ(image(0, kSlotPair + 4 * s, 4), (Bytes{0x76, 0x05, 0xD2, 0x01})) << s;
    EXPECT_EQ(ram[496], 0);
    EXPECT_EQ(ram[498], 0);
    for (int s = 0; s < 10; ++s)
        EXPECT_EQ(rect(ram, s), (std::vector<int>{0, 0, 1280, 512})) << s;

    // The whole image went to RAM 1 in one write, and reads back.
    int whole = 0;
    for (const auto& a : sim(0).accesses())
        whole += a.kind == SimFpga::Access::RamWrite && a.id == 1 && a.addr == 0 && a.data.size() == 1024;
    EXPECT_EQ(whole, 1);
    EXPECT_EQ(sim(0).ram(1, 0, 100), image(0, 0, 100));
    EXPECT_EQ(m->ram_check_result[0], 1);
    EXPECT_FALSE(sim(0).inReset());
    // Layout block rebuilt from it; versions copied to the command image.
    const uint8_t* block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    EXPECT_EQ(le16(block), le16(ram + kScreenW));
    EXPECT_EQ(Bytes(block + 4, block + 12), image(0, 8, 8));
    EXPECT_EQ(Bytes(fpga_manage::MCU_RAM_CMD + 12, fpga_manage::MCU_RAM_CMD + 16), (Bytes{0x01, 0x04, 0x04, 0x25}));
    EXPECT_EQ(sim(0).reg(2) & 0x08, 0x08);

    m->fpgainit(1);
    EXPECT_EQ(image(1, kPortNumbers, 10), (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    EXPECT_EQ(sim(1).ram(1, kPortNumbers, 10), image(1, kPortNumbers, 10));
}

TEST_F(FpgaManage, SavedParameterRamIsReloadedWithTheGlobalOffsetOnFpga0)
{
    Bytes saved(1024);
    for (int i = 0; i < 1024; ++i)
        saved[i] = uint8_t(i * 3 + 1);
    // Slot 0 at x 100, y 50, 640 x 480; screen 1900 x 1000.
    putLe16(&saved[8], 100);
    putLe16(&saved[10], 50);
    putLe16(&saved[12], 640);
    putLe16(&saved[14], 480);
    putLe16(&saved[kScreenW], 1900);
    putLe16(&saved[kScreenH], 1000);
    Bytes flash(1 + saved.size(), kMarker);
    std::copy(saved.begin(), saved.end(), flash.begin() + 1);
    sim(0).pokeFlash(kFlashParamMarker, flash);
    sim(1).pokeFlash(kFlashParamMarker, flash);
    setImage16(ram::kPictureOffsetX, 10);
    setImage16(ram::kPictureOffsetY, 4);

    m->fpgainit(0);
    const uint8_t* ram = fpga_manage::MCU_RAM_PARA_func[0];
    EXPECT_EQ(image(0, 128, 148), Bytes(saved.begin() + 128, saved.begin() + 276));
    EXPECT_EQ(image(0, 116, 8), Bytes(8, 0)); // bytes 96-127 start cleared
    EXPECT_EQ(image(0, kPortNumbers, 10), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(rect(ram, 0), (std::vector<int>{110, 54, 640, 480}));
    EXPECT_EQ(le16(ram + kScreenW), 1920);
    EXPECT_EQ(le16(ram + kScreenH), 1004);
    // The block keeps the layout as it was saved, without the offset.
    const uint8_t* block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    EXPECT_EQ(le16(block + 4), 100);
    EXPECT_EQ(le16(block), 1900);
    EXPECT_EQ(m->ram_check_result[0], 1);

    // FPGA 1 takes its copy as saved.
    m->fpgainit(1);
    EXPECT_EQ(rect(fpga_manage::MCU_RAM_PARA_func[1], 0), (std::vector<int>{100, 50, 640, 480}));
    EXPECT_EQ(image(1, kPortNumbers, 10), (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
}

TEST_F(FpgaManage, ALayoutTheFpgaDoesNotHoldResetsIt)
{
    sim(0).setConfigFails(true);
    m->fpgainit(0);
    EXPECT_EQ(m->ram_check_result[0], 0);
    EXPECT_EQ(bus().pad(fpga_pads::kReset[0]), 0);
    EXPECT_TRUE(sim(0).inReset());
    EXPECT_EQ(m->rst_pending[0], 1);
}

TEST_F(FpgaManage, ResetLinesAreReleasedAfterFiftyTicksAndTheStartUpBeginsAgain)
{
    startUp();
    m->reset_fpga_rst(0);
    m->reset_fpga_rst(1);
    EXPECT_TRUE(sim(0).inReset());
    EXPECT_TRUE(sim(1).inReset());
    run(50);
    EXPECT_TRUE(sim(0).inReset());
    run(1);
    EXPECT_FALSE(sim(0).inReset());
    EXPECT_FALSE(sim(1).inReset());
    EXPECT_EQ(m->shadow(80, 0), 0);
    EXPECT_EQ(m->shadow(31, 0), 0);
    EXPECT_EQ(m->power_state[0].load(), 0);
    EXPECT_EQ(m->check_state[0].load(), 0);
    EXPECT_EQ(m->get_fpga_status(), 0);
    EXPECT_EQ(m->get_wlan_state(), 0); // links are there, FPGA 0 is not running
    EXPECT_EQ(g_change.rst_release_stamp, G_timeTicks.load());

    // A PC reading register 31 meanwhile does not hold the start-up up.
    m->read_from_register(31, 0);
    EXPECT_TRUE(runUntil([&] { return m->get_fpga_status() == 1; }));
    EXPECT_EQ(m->get_wlan_state(), 0x000F);
}

TEST_F(FpgaManage, StartUpOnTheSimulatedFpgaEndsReadyWithTheScreenLit)
{
    setImage16(ram::kLedOff, 0);
    startUp();
    EXPECT_EQ(m->shadow(80, 0), 3);
    EXPECT_EQ(m->power_state[0].load(), 7);
    EXPECT_GE(m->check_state[0].load(), 16);
    EXPECT_EQ(sim(0).reg(3) & 0xE0, 0xE0); // steps 1 and 3, LED output on
    EXPECT_EQ(sim(0).reg(23) & 0x03, 0x01);
    EXPECT_EQ(sim(0).reg(41) & 0x01, 0x01);
    EXPECT_EQ(g_fpga_lcd_on.load(), 1);
    EXPECT_EQ(count(kChangeInputTiming), 1);
    // Blank until an input is online.
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);
    run(100);
    EXPECT_EQ(m->check_state[0].load(), 16);

    g_source_online = 2;
    EXPECT_TRUE(runUntil([&] { return m->check_state[0].load() == 18; }, 100));
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00);
    EXPECT_EQ(ScreenState.load(), 1);
    run(500);
    EXPECT_EQ(count(kChangeInputTiming), 1);
    EXPECT_EQ(count(kChangeRefresh), 0);
    EXPECT_EQ(sim(0).resetCount(), 0);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaManage, ARestartLeavesTheUsersLedOff)
{
    setImage16(ram::kLedOff, 1);
    g_source_online = 2;
    startUp();
    EXPECT_TRUE(runUntil([&] { return m->check_state[0].load() == 18; }, 100));
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);
    EXPECT_EQ(image16(ram::kLedOff), 1);
    EXPECT_EQ(count(kChangeRefresh), 0);
}

TEST_F(FpgaManage, NothingStartsWhileTheVideoLinkIntoFpga0IsDown)
{
    zevlosource::pInstance()->setup_state[0] = 1;
    run(3000);
    EXPECT_TRUE(transfers().empty());
    EXPECT_EQ(m->get_fpga_status(), 0);
    zevlosource::pInstance()->setup_state[0] = 2;
    EXPECT_TRUE(runUntil([&] { return m->get_fpga_status() == 1; }));
}

TEST_F(FpgaManage, RaisedFlagsWaitForFpga0AndAreServedOnTheFirstTurnItIsReady)
{
    m->output_status_flag = 1;
    m->bri_set_flag = 1;
    for (int i = 0; i < 5000 && m->get_fpga_status() == 0; ++i) {
        ASSERT_EQ(m->output_status_flag.load(), 1);
        ASSERT_EQ(m->bri_set_flag.load(), 1);
        run(1);
    }
    ASSERT_EQ(m->get_fpga_status(), 1);
    EXPECT_EQ(m->output_status_flag.load(), 0);
    EXPECT_EQ(m->bri_set_flag.load(), 0);
    // The LED-off word (0) lit the screen.
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00);
}

TEST_F(FpgaManage, LinkChangesAreAnnouncedOnceFpga0IsReady)
{
    sim(0).setLinks(0x0203);
    startUp();
    run(2);
    EXPECT_EQ(count(kChangePortState), 1);
    EXPECT_EQ(m->get_wlan_state(), 0x0203);
    sim(0).setLinks(0x0003);
    run(5);
    EXPECT_EQ(count(kChangePortState), 2);
    EXPECT_EQ(m->wlan_last, 0x0003);
}

TEST_F(FpgaManage, TheClockRecordIsRefreshedWhileFpga0Runs)
{
    startUp();
    run(30);
    EXPECT_GE(m->time_record.year, 2020);
    EXPECT_GE(m->time_record.month, 1);
    EXPECT_LE(m->time_record.month, 12);
    TimeRealType t;
    EXPECT_EQ(m->IT8563WE_Get(&t), 0);
    EXPECT_GE(t.day, 1);
}

// The start-up gives an FPGA whose step 2 keeps failing three tries: two
// resets, then it goes on.
TEST_F(FpgaManage, StepTwoRetriesEndAfterTheirCap)
{
    sim(0).setStep2Error(true);
    EXPECT_TRUE(runUntil([&] { return m->power_state[0].load() == 7; }, 20000));
    EXPECT_EQ(sim(0).resetCount(), 2);
    EXPECT_TRUE(runUntil([&] { return m->get_fpga_status() == 1; }));
    run(3000);
    EXPECT_EQ(sim(0).resetCount(), 2);
}

// Without video lock the post-start check restarts the FPGA, waiting longer
// every cycle, and stops restarting after its last cycle.
TEST_F(FpgaManage, PostStartRestartsBackOffAndEnd)
{
    bus().setJournalLimit(0);
    sim(0).setMeasuredInput(0, 0, 0);
    std::vector<uint32_t> releases;
    int seen = 0;
    for (int i = 0; i < 2000000 && m->check_cycle[0] < 101; ++i) {
        run(1);
        if (sim(0).resetCount() != seen) {
            seen = sim(0).resetCount();
            releases.push_back(G_timeTicks.load());
        }
    }
    ASSERT_EQ(m->check_cycle[0], 101);
    ASSERT_GE(releases.size(), 4u);
    for (size_t i = 2; i < 4; ++i)
        EXPECT_GT(releases[i] - releases[i - 1], releases[i - 1] - releases[i - 2] + 150) << i;

    // The last cycle's wait ends without a restart: the check goes on to
    // the measured input and keeps waiting there.
    run(51);
    int resets = sim(0).resetCount();
    EXPECT_TRUE(runUntil([&] { return m->check_state[0].load() == 7; }, 30000));
    run(20000);
    EXPECT_EQ(sim(0).resetCount(), resets);
    EXPECT_EQ(m->check_state[0].load(), 7);
}

} // namespace
