// The output-port layout: slot offsets, the global offset, the link bits,
// the read-back check and the LED-parameter handshake.
#include "fpga_fixture.h"

namespace {

using namespace fpga_layout;

class FpgaPorts : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        m = manager();
        ram = fpga_manage::MCU_RAM_PARA_func[0];
        block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    }
    void setRect(uint8_t* base, int x, int y, int w, int h)
    {
        putLe16(base, uint16_t(x));
        putLe16(base + 2, uint16_t(y));
        putLe16(base + 4, uint16_t(w));
        putLe16(base + 6, uint16_t(h));
    }
    fpga_manage* m = nullptr;
    uint8_t* ram = nullptr;
    uint8_t* block = nullptr;
};

TEST_F(FpgaPorts, SlotRectanglesLieWhereTheTableSays)
{
    const int expected[16] = {8, 19, 32, 43, 520, 528, 536, 544, 576, 584, 592, 600, 608, 616, 624, 632};
    for (int s = 0; s < 16; ++s) {
        unsigned short x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(fpga_manage::get_eth_param_addr(uint8_t(s), &x, &y, &w, &h), 0);
        EXPECT_EQ(x, expected[s]) << s;
        EXPECT_EQ(y, expected[s] + 2);
        EXPECT_EQ(w, expected[s] + 4);
        EXPECT_EQ(h, expected[s] + 6);
    }
    for (int s : {16, 200, 255}) {
        unsigned short x = 0;
        fpga_manage::get_eth_param_addr(uint8_t(s), &x, nullptr, nullptr, nullptr);
        EXPECT_EQ(x, 8);
    }
}

TEST_F(FpgaPorts, ExtremesAndScreenFieldsOfTheLayout)
{
    for (int s = 0; s < 10; ++s)
        setRect(ram + rectBase(s), 100 + s, 200 + s, 50, 60);
    setRect(ram + rectBase(3), 0, 300, 50, 60);
    setRect(ram + rectBase(5), 400, 0, 50, 60);
    setRect(ram + rectBase(12), 0, 0, 9000, 9000); // not a wired slot
    unsigned short x = 1, y = 1, r = 0, b = 0;
    m->get_eth_min_x_y(0, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    m->get_eth_max_border(0, &r, &b);
    EXPECT_EQ(r, 450);
    EXPECT_EQ(b, 360);
    // Sums are 16-bit: 65000 + 600 is 64.
    setRect(ram + rectBase(9), 65000, 0, 600, 60);
    m->get_eth_max_border(0, &r, &b);
    EXPECT_EQ(r, 450);

    putLe16(ram + kOriginX, 7);
    putLe16(ram + kOriginY, 8);
    putLe16(ram + kScreenW, 1920);
    putLe16(ram + kScreenH, 1080);
    unsigned short w = 0, h = 0;
    EXPECT_EQ(m->get_eth_lcd_x_y(0, &x, &y), 0);
    EXPECT_EQ(m->get_eth_lcd_w_h(0, &w, &h), 0);
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({7, 8, 1920, 1080}));
}

TEST_F(FpgaPorts, GlobalOffsetMovesEverySlotAndRoundsTheWidthTo32)
{
    setImage16(ram::kPictureOffsetX, 10);
    setImage16(ram::kPictureOffsetY, 3);
    for (int s = 0; s < 16; ++s)
        setRect(block + blockRect(s), 64 * s, 32 * s, 64, 32);
    putLe16(block + kBlockOriginX, 5);
    setRect(ram + rectBase(4), 0, 0, 777, 555);
    putLe16(ram + kOriginX, 9);

    struct Case {
        int width, expected;
    };
    for (Case c : {Case{1900, 1920}, Case{1910, 1920}, Case{1911, 1952}}) {
        putLe16(block + kBlockW, uint16_t(c.width));
        putLe16(block + kBlockH, 1075);
        m->Q58_mcu_set_net_para(0);
        EXPECT_EQ(le16(ram + kScreenW), c.expected) << c.width;
        EXPECT_EQ(le16(ram + kScreenH), 1078); // heights are not rounded
    }
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(le16(ram + rectBase(s)), 64 * s + 10) << s;
        EXPECT_EQ(le16(ram + rectBase(s) + 2), 32 * s + 3) << s;
    }
    // Widths, heights and the origin are the image's own.
    EXPECT_EQ(le16(ram + rectBase(4) + 4), 777);
    EXPECT_EQ(le16(ram + rectBase(4) + 6), 555);
    EXPECT_EQ(le16(ram + kOriginX), 9);

    // Rebuilding the block takes everything back from the image.
    m->Q58_back_mcu_set_net_para(0);
    EXPECT_EQ(le16(block + kBlockW), 1952);
    EXPECT_EQ(le16(block + blockRect(4) + 4), 777);
    EXPECT_EQ(le16(block + kBlockOriginX), 9);
}

TEST_F(FpgaPorts, LinkRefreshKeepsOtherBitsAndClearsTheCardsOfUnlinkedPorts)
{
    ram[kLinks0] = 0x24;
    ram[kLinks1] = 0xA0;
    ram[kLinks2] = 0x7F;
    for (int s = 0; s < 10; ++s) {
        putLe16(ram + kCardCount[s], uint16_t(5 + s));
        ram[kCardStatus[s]] = 1;
    }
    sim(0).pokeRam(1, 0, Bytes(ram, ram + 1024));
    sim(0).setLinks(0x0005); // ports 1 and 3
    bus().clearJournal();
    m->update_eth_state(0);

    EXPECT_EQ(ram[kLinks0], 0x2D);
    EXPECT_EQ(ram[kLinks1], 0xA0);
    EXPECT_EQ(ram[kLinks2], 0x00);
    EXPECT_EQ(sim(0).ram(1, kLinks0, 1), Bytes{0x2D});
    EXPECT_EQ(sim(0).ram(1, kLinks2, 1), Bytes{0x00});
    for (int s = 0; s < 10; ++s) {
        bool linked = s == 0 || s == 2;
        EXPECT_EQ(le16(ram + kCardCount[s]), linked ? 5 + s : 0) << s;
        EXPECT_EQ(ram[kCardStatus[s]], linked ? 1 : 0) << s;
        EXPECT_EQ(sim(0).ram(1, kCardCount[s], 2), Bytes(ram + kCardCount[s], ram + kCardCount[s] + 2)) << s;
        EXPECT_EQ(sim(0).ram(1, kCardStatus[s], 1), Bytes{ram[kCardStatus[s]]}) << s;
    }
    // Unchanged link bytes are not rewritten; the count goes as two bytes,
    // then the status byte.
    std::vector<std::pair<int, size_t>> writes;
    for (const auto& a : sim(0).accesses())
        if (a.kind == SimFpga::Access::RamWrite)
            writes.emplace_back(a.addr, a.data.size());
    EXPECT_EQ(writes[0], std::make_pair(kLinks0, size_t(1)));
    EXPECT_EQ(writes[1], std::make_pair(kLinks2, size_t(1)));
    EXPECT_EQ(writes[2], std::make_pair(kCardCount[1], size_t(2)));
    EXPECT_EQ(writes[3], std::make_pair(kCardStatus[1], size_t(1)));

    // A port that comes up keeps zeros until the card search fills them.
    sim(0).setLinks(0x0007);
    m->update_eth_state(0);
    EXPECT_EQ(le16(ram + kCardCount[1]), 0);
    EXPECT_EQ(ram[kLinks0], 0x2F);
}

TEST_F(FpgaPorts, ReadBackCheckFindsALayoutTheFpgaDoesNotHold)
{
    m->fpgainit(0);
    EXPECT_EQ(m->check_fpga_ram_param(0), 1);
    sim(0).pokeRam(1, kSlotPair + 4 * 9 + 2, {0x00});
    EXPECT_EQ(m->check_fpga_ram_param(0), 0);
    sim(0).pokeRam(1, kSlotPair + 4 * 9 + 2, {ram[kSlotPair + 4 * 9 + 2]});
    EXPECT_EQ(m->check_fpga_ram_param(0), 1);
    sim(0).pokeRam(1, rectBase(7) + 6, {0x12});
    EXPECT_EQ(m->check_fpga_ram_param(0), 0);
}

TEST_F(FpgaPorts, OutputStatusWaitsForFpga0AndFollowsTheLedOffWord)
{
    EXPECT_EQ(m->set_output_status(), 0);
    EXPECT_TRUE(transfers().empty());
    startUp();
    setImage16(ram::kLedOff, 1);
    EXPECT_EQ(m->set_output_status(), 1);
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x04);
    setImage16(ram::kLedOff, 0);
    EXPECT_EQ(m->set_output_status(), 1);
    EXPECT_EQ(sim(0).reg(0) & 0x04, 0x00);
}

// FPGA 0 running with its screen lit.
class LedHandshake : public FpgaPorts {
protected:
    void SetUp() override
    {
        FpgaPorts::SetUp();
        startUp();
        g_source_online = 2;
        ASSERT_TRUE(runUntil([&] { return m->check_state[0].load() == 18; }, 100));
        setImage16(ram::kLedOff, 0);
        codes.clear();
    }
    bool lit() const { return (sim(0).reg(0) & 0x04) == 0; }
    bool ledOutputOn() const { return (sim(0).reg(3) & 0x20) != 0; }

    // A screen or the PC starts the handshake; it runs its 42 ticks.
    void handshake()
    {
        g_set_led_para = 1;
        g_set_led_setup = 0;
        run(1);
        EXPECT_FALSE(lit());
        EXPECT_EQ(g_set_led_setup.load(), 1);
        run(10);
        EXPECT_TRUE(ledOutputOn());
        run(1);
        EXPECT_FALSE(ledOutputOn());
        EXPECT_EQ(g_set_led_setup.load(), 2);
        run(30);
        EXPECT_EQ(g_set_led_para.load(), 1);
        EXPECT_FALSE(lit());
        run(1);
        EXPECT_EQ(g_set_led_para.load(), 0);
        EXPECT_EQ(g_set_led_setup.load(), 0);
    }
};

TEST_F(LedHandshake, WithoutANewLedSizeTheScreenComesBackAsTheLedOffWordSays)
{
    // A factory reset or an LED-screen apply that keeps the size.
    handshake();
    EXPECT_TRUE(ledOutputOn());
    EXPECT_TRUE(lit());
    EXPECT_FALSE(sim(0).inReset());
    EXPECT_EQ(count(kChangeRefresh), 0);

    // The user had switched the LED screen off: it stays off.
    setImage16(ram::kLedOff, 1);
    handshake();
    EXPECT_TRUE(ledOutputOn());
    EXPECT_FALSE(lit());
    EXPECT_EQ(image16(ram::kLedOff), 1);

    // A new LED size the scaler applies afterwards still restarts FPGA 0.
    setImage16(ram::kLedOff, 0);
    g_set_led_para = 2;
    run(1);
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_TRUE(sim(0).inReset());
    EXPECT_TRUE(runUntil([&] { return m->check_state[0].load() == 18; }));
    EXPECT_TRUE(lit());
}

TEST_F(LedHandshake, ANewLedSizeWaitingForItLeavesTheScreenDarkUntilTheRestartLightsIt)
{
    g_led_size_waiting = true; // the scaler holds a new LED size
    handshake();
    EXPECT_FALSE(ledOutputOn());
    EXPECT_FALSE(lit());

    // The scaler applies it: FPGA 0 restarts and its start-up lights again.
    g_led_size_waiting = false;
    g_set_led_para = 2;
    run(1);
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_TRUE(sim(0).inReset());
    run(51);
    EXPECT_EQ(m->get_fpga_status(), 0);
    EXPECT_TRUE(runUntil([&] { return m->check_state[0].load() == 18; }));
    EXPECT_TRUE(lit());
    EXPECT_TRUE(ledOutputOn());
}

} // namespace
