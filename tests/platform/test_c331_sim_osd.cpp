// The simulated scaler chip's serial flash and memories as raw register
// frames drive them: NOR semantics, page wrap, what the controller refuses;
// and the sample OSD menu a fresh simulated root starts with.
#include "tests/support/sandbox.h"

#include <QFile>
#include <QFileInfo>

#include "platform/c331_sim.h"
#include "platform/platform.h"
#include "platform/spi.h"

namespace {
using platform::SimScalerChip;
using Bytes8 = std::vector<uint8_t>;

class ScalerFlashSim : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        fd = bus().open(SimScalerChip::kNode);
        ASSERT_GE(fd, 0);
        select(0x04);
    }
    static platform::SimSpiBus& bus() { return platform::simSpiBus(); }
    static SimScalerChip& chip() { return platform::simScaler(); }
    void select(uint8_t bank)
    {
        uint8_t tx[2] = {0x80, bank};
        bus().transfer(fd, tx, nullptr, 2, 10000000);
    }
    void w(uint8_t addr, uint8_t value)
    {
        uint8_t tx[2] = {uint8_t(0x80 | addr), value};
        bus().transfer(fd, tx, nullptr, 2, 10000000);
    }
    void address(uint32_t a)
    {
        for (int i = 0; i < 4; ++i)
            w(uint8_t(0x4E + i), uint8_t(a >> (8 * i)));
    }
    uint8_t r(uint8_t addr)
    {
        uint8_t tx[2] = {addr, 0xFF}, rx[2] = {};
        bus().transfer(fd, tx, rx, 2, 5000000);
        return rx[1];
    }
    // Controller set up for page programs and reads with register access.
    void programMode()
    {
        w(0x47, 0x31);
        w(0x49, 0x12);
        w(0x4A, 0x0C);
        w(0x4C, 0x06);
        w(0x5F, 1);
    }
    int fd = -1;
};
} // namespace

TEST_F(ScalerFlashSim, PagesWrapAndOnlyAnEraseSetsBitsAgain)
{
    programMode();
    // 8 bytes from 0x1FC: a page program wraps inside its page.
    address(0x1FC);
    for (uint8_t b = 1; b <= 8; ++b)
        w(0x52, b);
    address(0x204);
    EXPECT_EQ(chip().flashContent(0x1FC, 4), (Bytes8{1, 2, 3, 4}));
    EXPECT_EQ(chip().flashContent(0x100, 4), (Bytes8{5, 6, 7, 8}));
    EXPECT_EQ(chip().flashContent(0x200, 1), Bytes8{0xFF});
    ASSERT_EQ(chip().flashOps().size(), 1u);
    EXPECT_TRUE(chip().flashOps()[0].crossesPage);

    // Programming keeps only the common bits; reading streams from the address.
    address(0x1FC);
    w(0x52, 0xF0);
    address(0x1FD);
    EXPECT_EQ(chip().flashOps().back().unerased, 1u);
    address(0x1FC);
    w(0x53, 1);
    EXPECT_EQ((Bytes8{r(0x52), r(0x52), r(0x52)}), (Bytes8{0x00, 2, 3}));

    // An erase of the 4 KB block around an address.
    w(0x47, 0x01);
    w(0x4B, 0x20);
    address(0x0ABC);
    w(0x48, 4);
    EXPECT_EQ(chip().flashContent(0x100, 4), Bytes8(4, 0xFF));
    EXPECT_EQ(chip().flashOps().back().addr, 0u);
    EXPECT_EQ(chip().flashOps().back().length, 0x1000u);
    EXPECT_TRUE(chip().memoryErrors().empty());
}

TEST_F(ScalerFlashSim, TheControllerRefusesWhatItsModeDoesNotAllow)
{
    chip().flashLoad(0x3000, {0x11, 0x22});
    // Bytes queued in erase mode are not programmed.
    w(0x47, 0x01);
    w(0x4C, 0x06);
    w(0x5F, 1);
    address(0x3000);
    w(0x52, 0x00);
    address(0x3001);
    // An erase with a program's opcode, a read never started.
    w(0x4B, 0x12);
    w(0x48, 4);
    r(0x52);
    // A DMA without its mode.
    w(0x5F, 2);
    w(0x48, 2);
    EXPECT_EQ(chip().flashContent(0x3000, 2), (Bytes8{0x11, 0x22}));
    EXPECT_EQ(chip().memoryErrors().size(), 4u);
    EXPECT_TRUE(chip().dmaJobs().empty());

    // A DMA to chip memory copies erased flash as 0xFF and data as it is.
    w(0x47, 0x33);
    w(0x4A, 0x0C);
    address(0x3000);
    for (int i = 0; i < 4; ++i)
        w(uint8_t(0x56 + i), uint8_t((0x80002000u >> (8 * i)) & 0xFF));
    w(0x5A, 0);
    for (int i = 0; i < 4; ++i)
        w(uint8_t(0x11 + i), uint8_t(0x7F000000u >> (8 * i)));
    w(0x48, 2);
    ASSERT_EQ(chip().dmaJobs().size(), 1u);
    EXPECT_EQ(chip().memory(0x7F000000, 3), (Bytes8{0x11, 0x22, 0xFF}));
    EXPECT_EQ(chip().memory(0x7F001FFF, 2), (Bytes8{0xFF, 0x00}));
}

TEST_F(ScalerFlashSim, AFreshRootStartsWithTheSampleOsdMenu)
{
    QFile::remove(QString::fromStdString(path("/data/configs/omenu.json")));
    platform::seedSimRoot();
    QFile sample(QStringLiteral(VYX_SOURCE_DIR "/resources/omenu.json"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    EXPECT_EQ(readFile("/data/configs/omenu.json"), sample.readAll());
    // A person may edit it.
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("/data/configs/omenu.json"))).isWritable());
}
