// The chip's serial flash through its controller: erase, program, read and
// DMA as the simulated flash records them, the fonts at bring-up, and the
// flash shared by several threads.
#include "tests/scaler/osd_fixture.h"

#include <thread>

using namespace ram;
using platform::SimScalerChip;

namespace {
class Flash : public OsdTest {
protected:
    std::vector<SimScalerChip::FlashOp> opsSince(size_t from) const
    {
        auto all = chip().flashOps();
        return std::vector<SimScalerChip::FlashOp>(all.begin() + long(std::min(from, all.size())), all.end());
    }
    static std::vector<std::pair<uint32_t, uint32_t>> of(const std::vector<SimScalerChip::FlashOp>& ops, int kind)
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const auto& op : ops)
            if (op.kind == kind)
                out.emplace_back(op.addr, op.length);
        return out;
    }
    static Bytes8 pattern(size_t n, uint8_t seed)
    {
        Bytes8 b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = uint8_t(seed + i * 7 + (i >> 8));
        return b;
    }
    int fd() const { return scaler->c331_fd; }
    using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;
};
} // namespace

TEST_F(Flash, EraseProgramAndReadFollowTheBlocksAndPages)
{
    chip().flashLoad(0x0F000, Bytes8(0x40000, 0x00));

    // Three 64 KB blocks from unit 16: 0x10000-0x3FFFF, nothing beside.
    size_t mark = chip().flashOps().size();
    ASSERT_EQ(scaler->erase_flash(fd(), 16, 3, 2), 0);
    EXPECT_EQ(of(opsSince(mark), SimScalerChip::FlashOp::Erase),
              (Pairs{{0x10000, 0x10000}, {0x20000, 0x10000}, {0x30000, 0x10000}}));
    EXPECT_EQ(chip().flashContent(0x10000, 0x30000), Bytes8(0x30000, 0xFF));
    EXPECT_EQ(chip().flashContent(0x0FFFF, 1), Bytes8{0x00});
    EXPECT_EQ(chip().flashContent(0x40000, 1), Bytes8{0x00});
    EXPECT_EQ(chip().value(0x044B01), 0xD8u);
    // 4 KB and 32 KB blocks by mode; a count of 0 only sets the controller up.
    mark = chip().flashOps().size();
    ASSERT_EQ(scaler->erase_flash(fd(), 0x41, 1, 0), 0);
    ASSERT_EQ(scaler->erase_flash(fd(), 0x48, 1, 1), 0);
    ASSERT_EQ(scaler->erase_flash(fd(), 0x50, 0, 2), 0);
    EXPECT_EQ(of(opsSince(mark), SimScalerChip::FlashOp::Erase), (Pairs{{0x41000, 0x1000}, {0x48000, 0x8000}}));
    EXPECT_EQ(chip().value(0x044801), 0u); // trigger back to idle

    // 300 bytes at 0x100: one full page and one of 44 bytes, read back equal.
    const Bytes8 data = pattern(300, 3);
    mark = chip().flashOps().size();
    ASSERT_EQ(scaler->write_flash(fd(), 0x10100, 300, const_cast<uint8_t*>(data.data())), 0);
    EXPECT_EQ(of(opsSince(mark), SimScalerChip::FlashOp::Program), (Pairs{{0x10100, 256}, {0x10200, 44}}));
    Bytes8 back(300);
    ASSERT_EQ(scaler->read_flash(fd(), 0x10100, 300, back.data()), 0);
    EXPECT_EQ(back, data);
    // 256 bytes on a page boundary: one page, no partial page; a start
    // inside a page: its rest, then the next page.
    mark = chip().flashOps().size();
    ASSERT_EQ(scaler->write_flash(fd(), 0x11000, 256, const_cast<uint8_t*>(data.data())), 0);
    ASSERT_EQ(scaler->write_flash(fd(), 0x111F0, 40, const_cast<uint8_t*>(data.data())), 0);
    EXPECT_EQ(of(opsSince(mark), SimScalerChip::FlashOp::Program),
              (Pairs{{0x11000, 256}, {0x111F0, 16}, {0x11200, 24}}));
    for (const auto& op : chip().flashOps())
        EXPECT_FALSE(op.crossesPage) << std::hex << op.addr;
    EXPECT_EQ(chip().flashContent(0x111F0, 40), Bytes8(data.begin(), data.begin() + 40));

    // A write over bytes not erased keeps only the common bits, as a NOR flash does.
    mark = chip().flashOps().size();
    ASSERT_EQ(scaler->write_flash(fd(), 0x0F000, 4, const_cast<uint8_t*>(data.data())), 0);
    EXPECT_EQ(opsSince(mark).back().unerased, 4u);
    EXPECT_EQ(chip().flashContent(0x0F000, 4), Bytes8(4, 0x00));

    // Nothing impossible reaches the chip.
    EXPECT_EQ(scaler->write_flash(fd(), 0x100, 0, nullptr), 0);
    EXPECT_EQ(scaler->write_flash(fd(), -1, 4, back.data()), 255);
    EXPECT_EQ(scaler->read_flash(fd(), 0x100, -4, back.data()), 255);
    EXPECT_EQ(scaler->erase_flash(fd(), -1, 1, 0), 255);
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
    EXPECT_TRUE(platform::simSpiBus().busErrors().empty());
}

TEST_F(Flash, EveryWaitEndsWithAMessageWhenTheControllerNeverGetsIdle)
{
    chip().setStuckBusy(true);
    Bytes8 buf(64, 0x11);
    int erase = 0, write = 0, read = 0, dma = 0;
    const std::string out = printed([&] {
        erase = scaler->erase_flash(fd(), 0, 1, 0);
        write = scaler->write_flash(fd(), 0x100, 64, buf.data());
        read = scaler->read_flash(fd(), 0x100, 64, buf.data());
        dma = scaler->osd_write_dma_sfl(fd(), 0x23, 0x7F000000, 0, 0x3000);
    });
    EXPECT_EQ(erase, 255);
    EXPECT_EQ(write, 255);
    EXPECT_EQ(read, 255);
    EXPECT_EQ(dma, 255);
    EXPECT_TRUE(contains(out, "B4_SFLSTAT EBUSY Timeout Error!!.")) << out;
    EXPECT_TRUE(contains(out, "B4_SFLDTCTL WEMPTY Timeout Error!!.")) << out;
    EXPECT_TRUE(contains(out, "B4_SFLDTCTL read Timeout Error!!.")) << out;
    EXPECT_TRUE(contains(out, "B4_SFLSTAT DMA Timeout Error!!.")) << out;
    // A read that never became ready hands back nothing stale.
    EXPECT_EQ(buf, Bytes8(64, 0xFF));
    EXPECT_EQ(chip().value(0x044801), 0u);

    // The same controller idle again: everything works.
    chip().setStuckBusy(false);
    const Bytes8 data = pattern(64, 9);
    ASSERT_EQ(scaler->erase_flash(fd(), 0, 1, 0), 0);
    ASSERT_EQ(scaler->write_flash(fd(), 0x100, 64, const_cast<uint8_t*>(data.data())), 0);
    ASSERT_EQ(scaler->read_flash(fd(), 0x100, 64, buf.data()), 0);
    EXPECT_EQ(buf, data);
}

TEST_F(Flash, FontsAreFoundAndCopiedIntoChipMemoryAtBringUp)
{
    loadFonts();
    bringUp();
    EXPECT_EQ(scaler->font_status.load(), 0x0Fu);
    EXPECT_EQ(store->local_reg[43], 0xFF);
    // Four copies, each ASCII font in front of its Chinese one.
    const auto dma = chip().dmaJobs();
    ASSERT_EQ(dma.size(), 4u);
    const uint32_t expect[4][3] = {{0x000023, 0x7F000000, 0x3000},
                                   {0x010023, 0x7F003000, 0x290000},
                                   {0x410023, 0x7F293000, 0xC000},
                                   {0x450023, 0x7F29F000, 0xA40000}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(dma[size_t(i)].flashAddr, expect[i][0]);
        EXPECT_EQ(dma[size_t(i)].dest, expect[i][1]);
        EXPECT_EQ(dma[size_t(i)].length, expect[i][2]);
        EXPECT_EQ(dma[size_t(i)].target, 0);
    }
    EXPECT_EQ(scaler->g_font_addr_32ASCII, 0x7F000000u);
    EXPECT_EQ(scaler->g_font_addr_32CHN, 0x7F003000u);
    EXPECT_EQ(scaler->g_font_addr_64ASCII, 0x7F293000u);
    EXPECT_EQ(scaler->g_font_addr_64CHN, 0x7F29F000u);
    // The glyphs lie in the font memory as in the flash; the first Chinese
    // glyph directly after the last ASCII one.
    const Bytes8 ascii64 = fontBlock(k64Ascii, 96);
    EXPECT_EQ(chip().memory(0x7F293000, 0xC000), Bytes8(ascii64.begin() + 35, ascii64.end()));
    const Bytes8 chinese32 = fontBlock(k32Chinese, 64);
    EXPECT_EQ(chip().memory(0x7F003000, 64 * 128), Bytes8(chinese32.begin() + 35, chinese32.end()));
    EXPECT_EQ(chip().memory(0x7F003000 + 64 * 128, 16), Bytes8(16, 0xFF)); // erased flash beyond
    EXPECT_TRUE(chip().memoryErrors().empty());
}

TEST_F(Flash, FontPresenceFollowsTheHeaderTypeByte)
{
    // Only the 64-dot Chinese font: its three register bits.
    loadFont(k64Chinese, 1);
    loadFont(k32Ascii, 1, 'Q');
    scaler->read_c331_font(fd());
    EXPECT_EQ(scaler->font_status.load(), 0x04u);
    EXPECT_EQ(store->local_reg[43], 0xA8);
    // A font written later by the PC: erased, programmed, then the
    // font-update command copies it and examines the headers.
    const Bytes8 font = fontBlock(k32Ascii, 96);
    ASSERT_EQ(scaler->erase_flash(fd(), 0, 4, 0), 0);
    ASSERT_EQ(scaler->write_flash(fd(), 0, int(font.size()), const_cast<uint8_t*>(font.data())), 0);
    scaler->update_font(fd());
    scaler->read_c331_font(fd());
    EXPECT_EQ(scaler->font_status.load(), 0x06u);
    EXPECT_EQ(store->local_reg[43], 0xA9);
    EXPECT_EQ(chip().memory(0x7F000000, 0x3000), Bytes8(font.begin() + 35, font.end()));
}

TEST_F(Flash, OperationsOfSeveralThreadsNeverInterleave)
{
    // The PC writes and reads back, the FPGA worker's upgrade writes another
    // area, the manager copies the fonts: each operation whole.
    bringUp();
    const Bytes8 a = pattern(4096, 1), b = pattern(4096, 2);
    std::atomic<int> failures{0};
    auto writer = [&](uint32_t at, const Bytes8& data) {
        for (int round = 0; round < 8; ++round) {
            Bytes8 back(data.size());
            if (scaler->erase_flash(fd(), int(at / 4096), 1, 0) != 0 ||
                scaler->write_flash(fd(), int(at), int(data.size()), const_cast<uint8_t*>(data.data())) != 0 ||
                scaler->read_flash(fd(), int(at), int(back.size()), back.data()) != 0 || back != data)
                ++failures;
        }
    };
    std::thread pc(writer, 0x200000u, std::cref(a));
    std::thread upgrade(writer, 0x300000u, std::cref(b));
    for (int round = 0; round < 4; ++round) {
        scaler->update_font(fd());
        scaler->read_c331_font(fd());
    }
    pc.join();
    upgrade.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
    for (const auto& op : chip().flashOps())
        EXPECT_FALSE(op.crossesPage);
}
