// The simulated scaler chip: what it answers, what it journals and its knobs.
#include "tests/support/sandbox.h"

#include "platform/c331_sim.h"
#include "platform/spi.h"

namespace {
using platform::SimScalerChip;

class ScalerChip : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        fd = bus().open(SimScalerChip::kNode);
        ASSERT_GE(fd, 0);
    }
    static platform::SimSpiBus& bus() { return platform::simSpiBus(); }
    static SimScalerChip& chip() { return platform::simScaler(); }
    void select(uint8_t bank) { writeByte(0, bank); }
    void writeByte(uint8_t addr, uint8_t value)
    {
        uint8_t tx[2] = {uint8_t(0x80 | addr), value};
        bus().transfer(fd, tx, nullptr, 2, 10000000);
    }
    uint8_t readByte(uint8_t addr)
    {
        uint8_t tx[2] = {addr, 0xFF}, rx[2] = {};
        bus().transfer(fd, tx, rx, 2, 5000000);
        return rx[1];
    }
    int fd = -1;
};
} // namespace

TEST_F(ScalerChip, StatusBitsReportIdleUnlessStuck)
{
    struct Status {
        uint8_t bank, addr, idle, busy;
    };
    // Flash data control (write queue empty, no read pending), flash status,
    // flash status register copy, 2D engine, input and output vsync.
    const Status status[] = {{0x04, 0x53, 0x20, 0x80}, {0x04, 0x54, 0x00, 0x0B}, {0x04, 0x55, 0x00, 0x03},
                             {0x04, 0x17, 0x00, 0x01}, {0x05, 0x22, 0xFF, 0x00}, {0x05, 0x2E, 0xFF, 0x00}};
    for (bool stuck : {false, true}) {
        chip().setStuckBusy(stuck);
        for (const Status& s : status) {
            select(s.bank);
            EXPECT_EQ(readByte(s.addr), stuck ? s.busy : s.idle) << std::hex << int(s.bank) << ":" << int(s.addr);
        }
        // A field counter of an input channel never moves while stuck.
        chip().set(0xA84401, 0x12);
        select(0xA8);
        EXPECT_EQ(readByte(0x44), stuck ? 0 : 0x12);
    }
    // Ordinary registers read back, measurements read as preset.
    chip().setStuckBusy(false);
    select(0x30);
    writeByte(0x11, 0x5A);
    EXPECT_EQ(readByte(0x11), 0x5A);
    chip().set(0xAE0802, 0x0898);
    select(0xAE);
    EXPECT_EQ(readByte(0x08), 0x98);
    EXPECT_EQ(readByte(0x09), 0x08);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(ScalerChip, IdentityKnobsAndMisuse)
{
    select(0xB2);
    EXPECT_EQ(readByte(0x08), 0x24);
    chip().setIdentityEveryOther(true);
    std::vector<int> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(readByte(0x08));
    EXPECT_EQ(answers, (std::vector<int>{0x24, 0, 0x24, 0}));
    chip().setAbsent(true);
    EXPECT_EQ(readByte(0x08), 0xFF);
    chip().setAbsent(false);

    // Each of these is something a careful master never does.
    chip().reset();
    uint8_t data[2] = {0x81, 1};
    bus().transfer(fd, data, nullptr, 2, 10000000);       // before any bank select
    select(0x30);
    bus().transfer(fd, data, nullptr, 2, 5000000);        // a write at the read speed
    uint8_t read[2] = {0x01, 0xFF}, rx[2];
    bus().transfer(fd, read, nullptr, 2, 5000000);        // a read without a receive buffer
    bus().transfer(fd, read, rx, 1, 5000000);             // not a two-byte frame
    EXPECT_EQ(bus().busErrors().size(), 4u);
}

TEST_F(ScalerChip, JournalReadsWholeAccessesByRegisterCode)
{
    chip().setJournalLimit(6);
    select(0x18);
    const uint64_t mark = chip().mark();
    writeByte(0x4E, 0x00); // 0x084E03 of channel 1, in a row
    writeByte(0x4F, 0xFF);
    writeByte(0x50, 0x00);
    writeByte(0x4F, 0x11); // only a part of it: not a whole access
    writeByte(0x4E, 0x22);
    writeByte(0x4F, 0x33);
    EXPECT_EQ(chip().writes(0x084E03, 16, mark), (std::vector<uint32_t>{0x00FF00}));
    EXPECT_EQ(chip().writes(0x184E02, 0, mark), (std::vector<uint32_t>{0xFF00, 0x3322}));
    EXPECT_EQ(chip().lastWrite(0x084F01, 16), 0x33u);
    EXPECT_EQ(chip().value(0x084E03, 16), 0x003322u);
    // The newest six bytes are kept; marks stay valid.
    writeByte(0x60, 1);
    EXPECT_EQ(chip().journal(0).size(), 6u);
    EXPECT_EQ(chip().journal(mark + 6).size(), 1u);
    EXPECT_EQ(chip().writes(0x084E03, 16, mark), std::vector<uint32_t>{});
}
