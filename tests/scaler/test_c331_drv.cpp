// Register access: the two-byte frames on the bus, the bank cache, masked
// writes and the routing of the shared bus.
#include "tests/support/sandbox.h"

#include "fpga/fpga_pads.h"
#include "platform/c331_sim.h"
#include "platform/spi.h"
#include "scaler/c331_drv.h"

namespace {
using platform::SimSpiBus;
using Frame = std::vector<uint8_t>;

class Driver : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        bus().setJournalLimit(10000);
        fd = drv.initialize();
        ASSERT_GE(fd, 0);
    }
    static SimSpiBus& bus() { return platform::simSpiBus(); }
    static platform::SimScalerChip& chip() { return platform::simScaler(); }
    // The frames sent to the scaler since the journal was cleared.
    static std::vector<Frame> frames()
    {
        std::vector<Frame> out;
        for (const auto& e : bus().transfers(kC331SpiDevice))
            out.push_back(e.tx);
        return out;
    }
    c331_drv drv;
    int fd = -1;
};
} // namespace

TEST_F(Driver, FramesOfWritesReadsAndMaskedWritesWithTheBankCache)
{
    bus().map();
    bus().clearJournal();

    // Two writes to bank 0x08: one bank select, then data frames only.
    drv.write_C331(fd, 0x084E03, 0x123456, 0);
    drv.write_C331(fd, 0x080801, 0x5A, 0);
    // Channel 1's copy: bank 0x18, least significant byte first.
    drv.write_C331(fd, 0x084E03, 0x00FF00, 16);
    EXPECT_EQ(frames(), (std::vector<Frame>{{0x80, 0x08},
                                            {0xCE, 0x56},
                                            {0xCF, 0x34},
                                            {0xD0, 0x12},
                                            {0x88, 0x5A},
                                            {0x80, 0x18},
                                            {0xCE, 0x00},
                                            {0xCF, 0xFF},
                                            {0xD0, 0x00}}));
    EXPECT_EQ(chip().value(0x084E03, 16), 0x00FF00u);

    // The identity: a read frame, the value in the second byte received.
    bus().clearJournal();
    EXPECT_EQ(drv.read_C331(fd, 0xB20801, 0), 0x24u);
    auto t = bus().transfers(kC331SpiDevice);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].tx, (Frame{0x80, 0xB2}));
    EXPECT_FALSE(t[0].fullDuplex);
    EXPECT_EQ(t[0].speedHz, 10000000u);
    EXPECT_EQ(t[1].tx, (Frame{0x08, 0xFF}));
    EXPECT_TRUE(t[1].fullDuplex);
    EXPECT_EQ(t[1].speedHz, 5000000u);

    // A masked write keeps the bits outside the mask.
    chip().set(0x002901, 0xF0);
    drv.write_c331_mask(fd, 0x002901, 1, 0x01, 0);
    EXPECT_EQ(chip().value(0x002901), 0xF1u);
    drv.write_c331_mask(fd, 0x002901, 0, 0x01, 0);
    EXPECT_EQ(chip().value(0x002901), 0xF0u);

    // After the cache is forgotten the same bank is selected again.
    bus().clearJournal();
    drv.write_C331(fd, 0x002901, 1, 0);
    drv.init_reg_acc_param();
    drv.write_C331(fd, 0x002901, 0, 0);
    EXPECT_EQ(frames(), (std::vector<Frame>{{0xA9, 0x01}, {0x80, 0x00}, {0xA9, 0x00}}));

    // A count of 0 only selects the bank.
    bus().clearJournal();
    EXPECT_EQ(drv.read_C331(fd, 0x300000, 0), 0u);
    EXPECT_EQ(frames(), (std::vector<Frame>{{0x80, 0x30}}));
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(Driver, EveryTransferRoutesTheBusToTheScalerFirst)
{
    bus().map();
    // An FPGA transfer left its select low.
    bus().write16(fpga_pads::kSelect[1], fpga_pads::kPadLow);
    bus().clearJournal();
    drv.write_C331(fd, 0x080801, 1, 0);
    auto j = bus().journal();
    ASSERT_EQ(j.size(), 6u); // two pads, a transfer; two pads, a transfer
    for (int f : {0, 3}) {
        EXPECT_EQ(j[f].kind, SimSpiBus::Event::PadWrite);
        EXPECT_EQ(j[f].offset, fpga_pads::kSelect[0]);
        EXPECT_EQ(j[f + 1].offset, fpga_pads::kSelect[1]);
        EXPECT_EQ(j[f + 1].value, 16u);
        EXPECT_EQ(j[f + 2].kind, SimSpiBus::Event::Transfer);
    }
    EXPECT_TRUE(bus().busErrors().empty());

    // The chip notices a frame that an FPGA listens to as well.
    uint8_t tx[2] = {0x80, 0x08};
    bus().write16(fpga_pads::kSelect[0], fpga_pads::kPadLow);
    bus().transfer(fd, tx, nullptr, 2, 10000000);
    ASSERT_EQ(bus().busErrors().size(), 1u);
    EXPECT_NE(bus().busErrors()[0].find("FPGA 0"), std::string::npos);
}

TEST_F(Driver, WithoutTheFpgaWindowNothingIsWrittenThroughIt)
{
    // The FPGA manager has not mapped the SoC window: the selects are left
    // alone rather than written through a window that is not there.
    drv.write_C331(fd, 0x080801, 7, 0);
    EXPECT_EQ(chip().value(0x080801), 7u);
    for (const auto& e : bus().journal())
        EXPECT_EQ(e.kind, SimSpiBus::Event::Transfer);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(Driver, AFailedReadGivesZeroAndTheAccessGoesOn)
{
    bus().map();
    chip().set(0x101102, 0xBEEF);
    EXPECT_EQ(drv.read_C331(fd, 0x101102, 0), 0xBEEFu);
    // A descriptor that no longer works: every transfer fails.
    bus().close(fd);
    bus().clearJournal();
    EXPECT_EQ(drv.read_C331(fd, 0x101102, 0), 0u);
    EXPECT_EQ(drv.read_C331(fd, 0xB20801, 0), 0u);
    // No chip answering at all: the bus floats high, never the identity.
    fd = drv.initialize();
    chip().setAbsent(true);
    EXPECT_EQ(drv.read_C331(fd, 0xB20801, 0), 0xFFu);
}
