// FPGA 0's brightness and the daily on/off schedule, on the simulated FPGA:
// the PC's commands through the command image, the records they leave in
// the flash, the panel's brightness, and the manual, half-hour and sensor
// steps of the worker's idle turn, on a clock the test sets.
#include "fpga_fixture.h"

#include <QDateTime>
#include <cstring>

#include "platform/card_sim.h"
#include "platform/clock.h"
#include "platform/shell.h"

namespace {

constexpr uint32_t kOnOff = 0x30E000, kBright = 0x30F000;

class Brightness : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        setClock(2025, 3, 7, 9, 5);
        sim(0).setLinks(0x0001);
        startUp();
        m = fpga_manage::p_fpga_manage;
        sim(0).clearLogs();
        codes.clear();
        platform::simShell().clearLog();
    }
    void TearDown() override
    {
        platform::setClockForTest(QDateTime());
        FpgaTest::TearDown();
    }

    void setClock(int y, int mo, int d, int h, int mi)
    {
        platform::setClockForTest(QDateTime(QDate(y, mo, d), QTime(h, mi, 0)));
        if (fpga_manage::p_fpga_manage)
            fpga_manage::p_fpga_manage->IT8563WE_Get(&fpga_manage::p_fpga_manage->time_record);
    }

    // A PC command: the image from its first byte, then register 2 bit 2.
    void command(const Bytes& image)
    {
        std::memset(fpga_manage::MCU_RAM_CMD, 0, 1024);
        std::memcpy(fpga_manage::MCU_RAM_CMD, image.data(), image.size());
        m->write_to_register(2, 0x04, 0x04, 0);
    }
    // Command 3: mode and 48 values (or one for the manual modes).
    static Bytes brightness(uint8_t mode, const Bytes& values, uint8_t storeKind = 0xAA)
    {
        Bytes b = {0xAA, 3, storeKind, 0, 0, 0, uint8_t(1 + values.size()), 0, mode};
        for (uint8_t v : values)
            b.push_back(v);
        return b;
    }

    std::vector<SimFpga::FlashOp> ops(SimFpga::FlashOp::Kind kind) const
    {
        std::vector<SimFpga::FlashOp> out;
        for (const SimFpga::FlashOp& op : sim(0).flashOps())
            if (op.kind == kind)
                out.push_back(op);
        return out;
    }
    uint8_t reg6() const { return sim(0).reg(6); }
    uint8_t reg64() const { return m->shadow(64, 0); }
    // A panel change: the scaler sets ram 2176 and raises the flag; one
    // worker turn serves it.
    void panel(uint16_t percent)
    {
        setImage16(ram::kBrightness, percent);
        m->bri_set_flag = 1;
        run(1);
        ASSERT_EQ(m->bri_set_flag.load(), 0);
    }
    // The next periodic step is due.
    void stepDue() { m->bri.task_stamp = G_timeTicks.load() - 5000; }

    fpga_manage* m = nullptr;
};

TEST_F(Brightness, SetClockCommandGoesToTheShellVerbatimAndBadDatesAreRefused)
{
    command({0xAA, 1, 0, 0, 0, 0, 7, 0, 0x25, 0x20, 0x03, 0x07, 0x09, 0x05, 0x00});
    EXPECT_EQ(platform::simShell().log(), std::vector<std::string>{"date \"2025-3-7 9:5:0\";hwclock -wu"});
    // The register reaches the FPGA without the command bit.
    EXPECT_EQ(sim(0).reg(2) & 0x06, 0x00);

    platform::simShell().clearLog();
    command({0xAA, 1, 0, 0, 0, 0, 7, 0, 0x25, 0x20, 0x13, 0x07, 0x09, 0x05, 0x00}); // month 13
    command({0xAA, 1, 0, 0, 0, 0, 7, 0, 0x25, 0x20, 0x03, 0x07, 0x0A, 0x05, 0x00}); // not BCD
    command({0x55, 1, 0, 0, 0, 0, 7, 0, 0x25, 0x20, 0x03, 0x07, 0x09, 0x05, 0x00}); // no command present
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(Brightness, OnOffTableIsStoredInSector782AndKeepsFourEntries)
{
    Bytes table = {0xAA, 2, 0xAA, 0, 0, 0, 29, 0, 7};
    for (int i = 0; i < 7; ++i)
        table.insert(table.end(), {uint8_t(0x10 + i), 0x30, uint8_t(0x20 + i), 0x45});
    command(table);
    auto erased = ops(SimFpga::FlashOp::Erase);
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_EQ(erased[0].addr, kOnOff);
    EXPECT_EQ(erased[0].length, 4096u);
    EXPECT_EQ(sim(0).flash(kOnOff, 37), table);
    EXPECT_EQ(sim(0).flash(kOnOff + 37, 1), Bytes{0xFF});
    EXPECT_EQ(m->shadow(66, 0), 1);
    EXPECT_EQ(m->bri.entries, 4);
    EXPECT_EQ(m->bri.onoff[3].on_hour, 13);
    EXPECT_EQ(m->bri.onoff[3].off_minute, 45);

    command({0xAA, 2, 0x55, 0, 0, 0, 1, 0, 0});
    EXPECT_EQ(sim(0).flash(kOnOff, 4), Bytes(4, 0xFF));
    EXPECT_EQ(m->shadow(66, 0), 0);
}

// A length that reaches past the 1024-byte command image (and so past the
// one sector erased) is refused before anything is stored.
TEST_F(Brightness, CommandLengthBeyondTheImageStoresNothing)
{
    sim(0).pokeFlash(kBright, brightness(16, {77}));
    Bytes table = {0xAA, 2, 0xAA, 0, 0, 0, 0xFD, 0x03, 1, 0x08, 0x00, 0x18, 0x00}; // n = 1021
    command(table);
    Bytes big = brightness(16, {200});
    big[6] = 0xFF;
    big[7] = 0xFF; // n = 65535
    command(big);
    EXPECT_TRUE(ops(SimFpga::FlashOp::Erase).empty());
    EXPECT_TRUE(ops(SimFpga::FlashOp::Program).empty());
    EXPECT_EQ(m->shadow(66, 0), 0);
    EXPECT_EQ(m->bri.entries, 0);
    EXPECT_EQ(sim(0).flash(kBright, 10), brightness(16, {77}));

    // The longest that fits is stored whole.
    Bytes longest(1024, 0);
    std::memcpy(longest.data(), table.data(), table.size());
    longest[6] = 0xF8; // n = 1016: 1024 bytes
    command(longest);
    EXPECT_EQ(sim(0).flash(kOnOff, 1024), longest);
    EXPECT_EQ(sim(0).flash(kOnOff + 1024, 1), Bytes{0xFF});
}

TEST_F(Brightness, ManualSixteenLevelsDriveRegisterSix)
{
    // Mode 0 is in force (no record was stored).
    command(brightness(0, {16}, 0));
    EXPECT_EQ(reg6(), 255);
    EXPECT_EQ(sim(0).reg(3) & 0x04, 0x04);
    command(brightness(0, {1}, 0));
    EXPECT_EQ(reg6(), 15);
    command(brightness(0, {0}, 0));
    EXPECT_EQ(reg6(), 255);
    // Not stored: no flash traffic.
    EXPECT_TRUE(ops(SimFpga::FlashOp::Erase).empty());
    EXPECT_EQ(image16(ram::kBrightness), 100);
    // The panel follows what is applied (1 -> 15 -> 5%, 0 -> 255 -> 100%).
    EXPECT_EQ(count(kChangeRefresh), 2);
    command(brightness(0, {8}, 0));
    EXPECT_EQ(reg6(), 127);
    EXPECT_EQ(image16(ram::kBrightness), 49);
    EXPECT_EQ(count(kChangeRefresh), 3);
}

TEST_F(Brightness, StoredManualRecordIsReloadedAndReappliedFiveTimes)
{
    command(brightness(16, {200}));
    EXPECT_EQ(sim(0).flash(kBright, 10), brightness(16, {200}));
    EXPECT_EQ(m->bri.record_changed.load(), 1);
    m->bri.record_changed = 0;
    m->record_bright_change();
    EXPECT_EQ(m->bri.mode, 16);
    EXPECT_EQ(reg64(), 200);
    int applied = 0;
    for (int i = 0; i < 8; ++i) {
        stepDue();
        sim(0).setReg(6, 0);
        run(1);
        applied += reg6() == 200;
    }
    EXPECT_EQ(applied, 5);
}

TEST_F(Brightness, PanelBrightnessIsScaledStoredAndBecomesTheModeInForce)
{
    panel(100);
    EXPECT_EQ(reg6(), 255);
    Bytes record = {0xAA, 3, 0xAA, 0, 0, 0, 49, 0, 16};
    record.insert(record.end(), 48, 0xFF);
    EXPECT_EQ(sim(0).flash(kBright, 57), record);
    auto erased = ops(SimFpga::FlashOp::Erase);
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_EQ(erased[0].addr, kBright);

    // 16-level modes keep a minimum of 15; the record's mode 16 does not.
    m->Brightness_init(brightness(0, {4}).data());
    panel(3);
    EXPECT_EQ(reg6(), 15);
    EXPECT_EQ(m->bri.mode, 16);
    panel(3);
    EXPECT_EQ(reg6(), 7);
}

// In a 16-level mode the re-application reads register 64 as a level; after
// the panel stored a 256-level value it must not be read so.
TEST_F(Brightness, ReapplyingKeepsThePanelsValue)
{
    command(brightness(0, {8}));
    run(2);
    ASSERT_EQ(m->bri.mode, 0);
    panel(50);
    EXPECT_EQ(reg6(), 127);
    codes.clear();
    for (int i = 0; i < 6; ++i) {
        stepDue();
        run(1);
    }
    EXPECT_EQ(reg6(), 127);
    EXPECT_EQ(image16(ram::kBrightness), 50);
    EXPECT_EQ(count(kChangeRefresh), 0);
}

// With no port linked nothing reaches the FPGA, but the panel's value is
// kept, stored and applied once a port links.
TEST_F(Brightness, PanelChangeWithoutLinksIsKeptAndAppliedWhenALinkComes)
{
    sim(0).setLinks(0);
    run(3);
    ASSERT_EQ(m->get_wlan_state(), 0);
    sim(0).setReg(6, 0x11);
    panel(40);
    EXPECT_EQ(reg6(), 0x11);
    EXPECT_EQ(reg64(), 102);
    EXPECT_EQ(sim(0).flash(kBright + 9, 48), Bytes(48, 102));
    run(20);
    EXPECT_EQ(reg6(), 0x11);

    sim(0).setLinks(0x0004);
    EXPECT_TRUE(runUntil([&] { return reg6() == 102; }, 50));
    EXPECT_EQ(image16(ram::kBrightness), 40);
}

TEST_F(Brightness, HalfHourTableFollowsTheClock)
{
    Bytes values(48);
    for (int k = 0; k < 48; ++k)
        values[k] = uint8_t(100 + k);
    command(brightness(17, values));
    run(2);
    ASSERT_EQ(m->bri.mode, 17);
    auto at = [&](int h, int mi) {
        setClock(2025, 3, 7, h, mi);
        m->Brightness_time_change();
        return reg6();
    };
    EXPECT_EQ(at(23, 59), 147);
    EXPECT_EQ(m->bri.last_slot, 47);
    EXPECT_EQ(at(0, 0), 100);
    EXPECT_EQ(at(9, 29), 118);
    EXPECT_EQ(at(9, 30), 119);
    // 16 levels: the table holds levels.
    Bytes levels(48, 2);
    command(brightness(1, levels));
    run(2);
    EXPECT_EQ(at(12, 0), 31);
}

TEST_F(Brightness, RecordsAreReloadedWhenFpga0Starts)
{
    Bytes table = {0xAA, 2, 0xAA, 0, 0, 0, 5, 0, 1, 0x09, 0x05, 0x09, 0x05};
    sim(0).pokeFlash(kOnOff, table);
    sim(0).pokeFlash(kBright, brightness(0, {8}));
    m->reset_fpga_rst(0);
    ASSERT_TRUE(runUntil([&] { return m->rst_pending[0] == 0; }));
    ASSERT_TRUE(runUntil([&] { return m->get_fpga_status() == 1; }));
    EXPECT_EQ(m->bri.mode, 0);
    EXPECT_EQ(reg64(), 8);
    EXPECT_EQ(reg6(), 127); // applied by the post-start check
    EXPECT_EQ(m->shadow(66, 0), 1);
    EXPECT_EQ(m->bri.entries, 1);

    // Without a record the task is off and the brightness 16; a mode the
    // task does not know leaves it off; a record that lies about its length
    // is no record.
    for (const Bytes& rec : {Bytes(57, 0xFF), brightness(18, {9}), Bytes{0xAA, 3, 0xAA, 0, 0, 0, 0xFF, 0xFF, 0, 9}}) {
        sim(0).pokeFlash(kBright, Bytes(4096, 0xFF));
        sim(0).pokeFlash(kBright, rec);
        m->bri.task_on = 1;
        m->write_to_register(64, 0xFF, 99, 0);
        m->record_bright_change();
        EXPECT_EQ(m->bri.task_on, 0);
        EXPECT_EQ(reg64(), rec[8] == 18 ? 99 : 16);
    }
}

TEST_F(Brightness, StoredRecordsLeaveTheControllersFieldsOfTheCommandImage)
{
    // Four on/off entries end at byte 24; a half-hour table runs to byte 56:
    // both cover the controller's version and port state at bytes 24-33.
    Bytes table = {0xAA, 2, 0xAA, 0, 0, 0, 17, 0, 4};
    for (uint8_t e = 0; e < 4; ++e)
        for (uint8_t v : {uint8_t(0x06 + e), uint8_t(0x10), uint8_t(0x20 + e), uint8_t(0x45)})
            table.push_back(v);
    Bytes levels;
    for (int k = 0; k < 48; ++k)
        levels.push_back(uint8_t(100 + k));
    sim(0).pokeFlash(kOnOff, table);
    sim(0).pokeFlash(kBright, brightness(17, levels));
    m->reset_fpga_rst(0);
    ASSERT_TRUE(runUntil([&] { return m->rst_pending[0] == 0; }));
    ASSERT_TRUE(runUntil([&] { return m->get_fpga_status() == 1; }));

    const Bytes controller(fpga_manage::MCU_RAM_CMD + 24, fpga_manage::MCU_RAM_CMD + 34);
    EXPECT_EQ(controller, (Bytes{1, 17, 0, 0, 0xFF, 1, 0, 0, 0, 0}));
    // Both records were taken whole, their bytes 24-33 included.
    ASSERT_EQ(m->bri.entries, 4);
    EXPECT_EQ(m->bri.onoff[3].off_hour, 23);
    EXPECT_EQ(m->bri.onoff[3].off_minute, 45);
    EXPECT_EQ(Bytes(m->bri.HalfHourValue, m->bri.HalfHourValue + 48), levels);
    // The rest of the image holds what was loaded, the table over the
    // brightness record, and FPGA 0's version (bytes 12-15) read after it.
    Bytes expected(table.begin(), table.begin() + 24);
    for (int r = 28; r <= 31; ++r)
        expected[size_t(12 + r - 28)] = sim(0).reg(r);
    EXPECT_EQ(Bytes(fpga_manage::MCU_RAM_CMD, fpga_manage::MCU_RAM_CMD + 24), expected);
    EXPECT_EQ(fpga_manage::MCU_RAM_CMD[40], levels[31]);
}

TEST_F(Brightness, OnOffTimesSwitchTheScreenAndRearmEachDay)
{
    setImage16(ram::kLedOff, 0);
    // Entry 0 on 9:05 off 9:05; entry 1 off at 9:06.
    command({0xAA, 2, 0xAA, 0, 0, 0, 9, 0, 2, 0x09, 0x05, 0x09, 0x05, 0x20, 0x00, 0x09, 0x06});
    codes.clear();
    sim(0).clearLogs();
    m->Extension_function();
    // Lit, then blanked in the same step.
    std::vector<uint8_t> reg0;
    for (const SimFpga::Access& a : sim(0).accesses())
        if (a.kind == SimFpga::Access::RegWrite && a.id == 0)
            reg0.push_back(a.data[0] & 0x04);
    EXPECT_EQ(reg0, (std::vector<uint8_t>{0x00, 0x04}));
    EXPECT_EQ(image16(ram::kLedOff), 1);
    EXPECT_EQ(count(kChangeRefresh), 2);

    setClock(2025, 3, 7, 20, 0);
    m->Extension_function();
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00);
    setClock(2025, 3, 7, 9, 5);
    m->Extension_function();
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00); // done for today
    setClock(2025, 3, 8, 9, 5);
    m->Extension_function(); // a new day re-arms
    m->Extension_function();
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);
}

// The light sensor: a card RAM read on the first slot with a card; its
// answer moves the brightness a step toward the sensor's value, and ten
// unanswered reads give full brightness.
TEST_F(Brightness, SensorReadsStepTowardTheSensorAndTimeOutsGiveFullBrightness)
{
    m->Brightness_init(brightness(2, {0}).data());
    m->write_to_register(64, 0xFF, 100, 0);
    m->bri.value = 100;
    // The light-sensor card hangs on port 1; the card table says so.
    platform::SimCardChains& chains = platform::simCards(0);
    sim(0).setLinks(0x0003);
    chains.setSensor(0, false);
    chains.setSensor(1, true);
    for (int i = 0; i < 4; ++i) { // whatever the start-up's last search left
        pthread_mutex_lock(&m->rcv_mutex);
        m->reg_IRQ_Dealwith(0, 0);
        pthread_mutex_unlock(&m->rcv_mutex);
    }
    for (int s = 0; s < 16; ++s)
        m->MCU_RAM_PARA_func[0][fpga_layout::kCardStatus[s]] = s == 1 ? 1 : 0;
    auto light = [&](uint8_t target) {
        Bytes data(128, 0);
        data[49] = 0xFF;
        data[53] = target;
        chains.setSensorData(1, data);
    };
    light(103);
    sim(0).clearLogs();
    auto read = [&] {
        m->Brightness_auto_change(); // sends
        m->Brightness_auto_change(); // takes the answer
    };
    read();
    EXPECT_EQ(chains.sensorReads(1), 1);
    ASSERT_EQ(sim(0).sentFrames().size(), 1u);
    EXPECT_EQ(sim(0).sentFrames()[0].port, 1);
    EXPECT_EQ(sim(0).sentFrames()[0].frame, (Bytes{0x00, 0x50, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00,
                                                   0x00, 0x00, 0x02, 0x80, 0x00, 0x00, 0x00, 0xEB}));
    EXPECT_EQ(m->bri.sensor_addr, 0x5000u);
    EXPECT_EQ(m->bri.sensor_group, 1);
    EXPECT_EQ(reg64(), 101);
    EXPECT_EQ(reg6(), 101);
    read();
    read();
    read();
    EXPECT_EQ(reg64(), 103);
    light(50);
    read();
    EXPECT_EQ(reg64(), 102);
    // A bad answer counts an error (the card is silenced and its answer
    // made up, with status 1).
    chains.setPolicy(1, platform::SimAnswerPolicy::Silent);
    m->Brightness_auto_change();
    Bytes bad = {0x00, 0xF0, 0x00, 0x50, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x01};
    bad.resize(139, 0);
    bad.push_back(Utils::BCC(bad.data(), unsigned(bad.size())));
    sim(0).queueAnswer(0, bad);
    m->Brightness_auto_change();
    EXPECT_EQ(reg64(), 102);
    EXPECT_EQ(m->shadow(85, 0), 1);

    for (int i = 0; i < 10; ++i) {
        m->Brightness_auto_change();
        G_timeTicks += 34;
        m->Brightness_auto_change();
        EXPECT_EQ(m->bri.sensor_waiting, 1);
        G_timeTicks += 1;
        m->Brightness_auto_change();
        EXPECT_EQ(m->bri.sensor_waiting, 0);
    }
    EXPECT_EQ(reg64(), 255);
    EXPECT_EQ(m->bri.sensor_timeouts, 0);

    // No card anywhere: no read, the brightness is applied as it is.
    m->MCU_RAM_PARA_func[0][fpga_layout::kCardStatus[1]] = 0;
    m->Brightness_auto_change();
    EXPECT_EQ(m->bri.sensor_addr, 0u);
    EXPECT_EQ(m->bri.sensor_waiting, 0);
}

} // namespace
