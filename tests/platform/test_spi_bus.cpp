#include "tests/support/sandbox.h"

#include "platform/spi.h"

namespace {
using platform::SimSpiBus;

// Echoes each byte sent plus one, and remembers the pads it was told about.
struct EchoChip : platform::SimSpiDevice {
    std::vector<std::pair<uint32_t, uint16_t>> pads;
    int resets = 0;
    void transfer(const std::string&, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t) override
    {
        if (rx)
            for (uint32_t i = 0; i < len; ++i)
                rx[i] = uint8_t(tx[i] + 1);
    }
    void padWritten(uint32_t offset, uint16_t value) override { pads.emplace_back(offset, value); }
    void reset() override { ++resets; pads.clear(); }
};

class SpiBus : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        bus().attach("/dev/spidev32766.4", &chip);
        bus().watchPad(0x207950, &chip);
        bus().setJournalLimit(100);
    }
    void TearDown() override
    {
        bus().detach(&chip);
        Sandbox::TearDown();
    }
    static SimSpiBus& bus() { return platform::simSpiBus(); }
    EchoChip chip;
};

TEST_F(SpiBus, TransfersReachTheAttachedChipAndAreJournaledInOrderWithPads)
{
    ASSERT_EQ(bus().map(), platform::SocWindow::Mapped);
    int fd = bus().open("/dev/spidev32766.4");
    ASSERT_GE(fd, 0);
    uint8_t tx[3] = {1, 2, 3}, rx[3] = {};
    bus().write16(0x207950, 0);
    EXPECT_EQ(bus().transfer(fd, tx, rx, 3, 5000000), 3);
    EXPECT_EQ(bus().transfer(fd, tx, nullptr, 1, 10000000), 1);
    bus().write16(0x207950, 16);

    EXPECT_EQ(rx[0], 2);
    EXPECT_EQ(rx[2], 4);
    ASSERT_EQ(chip.pads.size(), 2u);
    EXPECT_EQ(chip.pads[0].second, 0);
    EXPECT_EQ(bus().pad(0x207950), 16);
    EXPECT_EQ(bus().pad(0x207810), SimSpiBus::kPadIdle);

    auto j = bus().journal();
    ASSERT_EQ(j.size(), 4u);
    EXPECT_EQ(j[0].kind, SimSpiBus::Event::PadWrite);
    EXPECT_EQ(j[1].kind, SimSpiBus::Event::Transfer);
    EXPECT_TRUE(j[1].fullDuplex);
    EXPECT_EQ(j[1].rx, (std::vector<uint8_t>{2, 3, 4}));
    EXPECT_EQ(j[1].speedHz, 5000000u);
    EXPECT_FALSE(j[2].fullDuplex);
    EXPECT_EQ(j[3].value, 16u);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(SpiBus, MisuseIsRefusedAndReportedNeverSilent)
{
    // Pads before the window is mapped are skipped.
    bus().write16(0x207950, 0);
    EXPECT_EQ(bus().pad(0x207950), SimSpiBus::kPadIdle);
    EXPECT_EQ(bus().busErrors().size(), 1u);

    // Only the board's nodes exist, and a node can be made to fail.
    EXPECT_LT(bus().open("/dev/spidev0.0"), 0);
    bus().failOpen("/dev/spidev32766.1", true);
    EXPECT_LT(bus().open("/dev/spidev32766.1"), 0);

    // A transfer with nothing behind the node fails and is a bus error.
    bus().attach("/dev/spidev32766.3", nullptr);
    int fd = bus().open("/dev/spidev32766.3");
    uint8_t b = 0;
    EXPECT_EQ(bus().transfer(fd, &b, nullptr, 1, 1), -1);
    EXPECT_EQ(bus().busErrors().size(), 2u);
    bus().close(fd);
    EXPECT_EQ(bus().transfer(fd, &b, nullptr, 1, 1), -1);

    bus().failMap(platform::SocWindow::NoMsys);
    EXPECT_EQ(bus().map(), platform::SocWindow::NoMsys);
    EXPECT_FALSE(bus().mapped());
}

TEST_F(SpiBus, JournalKeepsTheNewestEventsAndResetRestoresPowerOn)
{
    bus().map();
    bus().setJournalLimit(3);
    for (uint16_t v = 0; v < 5; ++v)
        bus().write16(0x207950, v);
    auto j = bus().journal();
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0].value, 2u);
    EXPECT_EQ(j[2].value, 4u);

    bus().reset();
    EXPECT_TRUE(bus().journal().empty());
    EXPECT_FALSE(bus().mapped());
    EXPECT_EQ(bus().pad(0x207950), SimSpiBus::kPadIdle);
    EXPECT_GE(chip.resets, 1);
}
} // namespace
