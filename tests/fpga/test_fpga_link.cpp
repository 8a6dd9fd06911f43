// The SPI link as it appears on the bus: the framing of register and RAM
// accesses with their pad levels, and the flash commands.
#include "fpga_fixture.h"

#include <cstring>

namespace {

using Event = SimSpiBus::Event;

struct Pad {
    uint32_t offset;
    uint32_t value;
};

// The journal as a readable sequence: "pad 207838=16", "tx .1 04 00 03 40".
std::vector<std::string> trace(const std::vector<Event>& journal, size_t maxBytes = 8)
{
    std::vector<std::string> out;
    for (const Event& e : journal) {
        char b[64];
        if (e.kind == Event::PadWrite) {
            std::snprintf(b, sizeof b, "pad %X=%u", unsigned(e.offset), unsigned(e.value));
            out.push_back(b);
            continue;
        }
        std::string s = "tx " + e.node.substr(e.node.size() - 2);
        for (size_t i = 0; i < e.tx.size() && i < maxBytes; ++i) {
            std::snprintf(b, sizeof b, " %02X", e.tx[i]);
            s += b;
        }
        if (e.tx.size() > maxBytes)
            s += " +" + std::to_string(e.tx.size() - maxBytes);
        out.push_back(s);
    }
    return out;
}

using Trace = std::vector<std::string>;

class FpgaLink : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        m = manager();
        bus().clearJournal();
    }
    fpga_drv& drv() { return *m->p_fpga_drv; }
    fpga_manage* m = nullptr;
};

TEST_F(FpgaLink, DevicesAreOpenedInMode3At10MHzFpga1OnItsOwnNodes)
{
    const char* nodes[4] = {kNode0, kNode1, kFlash0, kFlash1};
    for (int i = 0; i < 4; ++i) {
        int fd = drv().fd[i];
        ASSERT_GE(fd, 0) << nodes[i];
        uint8_t mode = 0, bits = 0;
        uint32_t speed = 0;
        bus().getMode(fd, &mode);
        bus().getBitsPerWord(fd, &bits);
        bus().getMaxSpeed(fd, &speed);
        EXPECT_EQ(mode, 3);
        EXPECT_EQ(bits, 8);
        EXPECT_EQ(speed, 10000000u);
    }
    EXPECT_EQ(drv().link_fd(1), drv().fd[1]);
    EXPECT_EQ(drv().flash_fd(1), drv().fd[3]);

    // FPGA 1's register link and flash answer on ".2" and ".4".
    m->write_fpga_register(7, 0x11, 1, 0xFF);
    EXPECT_EQ(sim(1).reg(7), 0x11);
    EXPECT_EQ(sim(0).reg(7), 0x00);
    sim(1).pokeFlash(0x1000, {0x5A});
    uint8_t b = 0;
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(3, 0x1000, 1, &b), 1);
    EXPECT_EQ(b, 0x5A);
    EXPECT_EQ(transfers(kNode1).size(), 2u);
    EXPECT_EQ(transfers(kFlash1).size(), 1u);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaLink, RegisterAccessIsFramedByThePadsAndChangesOnlyMaskedBits)
{
    sim(0).setReg(3, 0x21);
    EXPECT_EQ(m->write_fpga_register(3, 0x40, 0, 0x40), 0);
    EXPECT_EQ(trace(bus().journal()), (Trace{"pad 207838=16", "pad 207900=16", "pad 207810=0", "tx .1 04 00 03 40",
                                             "pad 207838=0", "tx .1 40", "pad 207810=16", "pad 207900=16"}));
    EXPECT_EQ(sim(0).reg(3), 0x61);
    // The bits outside the mask stay what the FPGA had, whatever is sent.
    m->write_fpga_register(3, 0x00, 0, 0x40);
    EXPECT_EQ(sim(0).reg(3), 0x21);

    bus().clearJournal();
    uint8_t v = 0;
    EXPECT_EQ(m->read_fpga_register(31, &v, 0), 0);
    EXPECT_EQ(v, 0x25);
    auto t = transfers(kNode0);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].tx, (Bytes{0x05, 0x00, 0x1F, 0x00}));
    EXPECT_EQ(t[1].tx, (Bytes{0xFF}));
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaLink, RamAddressesKeepTwelveBits)
{
    Bytes data = {1, 2, 3, 4};
    EXPECT_EQ(m->write_fpga_ram(data.data(), 0x1234, 4, 1, 0), 0);
    auto t = transfers(kNode0);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].tx, (Bytes{0x02, 0x01, 0x34, 0x02}));
    EXPECT_EQ(t[1].tx, data);
    EXPECT_EQ(sim(0).ram(1, 0x234, 4), data);

    Bytes back(4);
    EXPECT_EQ(m->read_fpga_ram(back.data(), 0x234, 4, 1, 0), 0);
    EXPECT_EQ(transfers(kNode0)[2].tx, (Bytes{0x03, 0x01, 0x34, 0x02}));
    EXPECT_EQ(back, data);

    // A RAM holds 4096 bytes: an access running past its end wraps.
    m->write_fpga_ram(data.data(), 4094, 4, 9, 0);
    EXPECT_EQ(sim(0).ram(9, 4094, 2), (Bytes{1, 2}));
    EXPECT_EQ(sim(0).ram(9, 0, 2), (Bytes{3, 4}));
}

TEST_F(FpgaLink, FlashWriteGoesOutInPagesEachAfterWriteEnable)
{
    Bytes data(300);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7);
    EXPECT_EQ(drv().flash_write_copy(2, 0x300F80, data.data(), 300), 1);

    std::vector<Event> programs, enables;
    for (const Event& e : transfers(kFlash0)) {
        if (e.tx[0] == 0x02)
            programs.push_back(e);
        if (e.tx[0] == 0x06)
            enables.push_back(e);
    }
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(enables.size(), 2u);
    EXPECT_EQ(Bytes(programs[0].tx.begin(), programs[0].tx.begin() + 4), (Bytes{0x02, 0x30, 0x0F, 0x80}));
    EXPECT_EQ(programs[0].tx.size(), 4u + 128);
    EXPECT_EQ(Bytes(programs[1].tx.begin(), programs[1].tx.begin() + 4), (Bytes{0x02, 0x30, 0x10, 0x00}));
    EXPECT_EQ(programs[1].tx.size(), 4u + 172);
    EXPECT_EQ(sim(0).flash(0x300F80, 300), data);
    // Write enable, program, then status reads until the flash is idle.
    Trace t = trace(transfers(kFlash0), 1);
    EXPECT_EQ(t[0], "tx .3 06");
    EXPECT_EQ(t[1], "tx .3 02 +131");
    EXPECT_EQ(t[2], "tx .3 05 +1");
    // The flash was selected throughout and released at the end.
    EXPECT_EQ(bus().pad(fpga_pads::kFlashSelect[0]), 16);
    EXPECT_EQ(bus().pad(fpga_pads::kSelect[0]), 16);
    EXPECT_TRUE(bus().busErrors().empty());

    // The page writer uses the four bytes in front of each page for the
    // command: a caller's own buffer comes back changed there.
    Bytes raw(4 + 16, 0xEE);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_WRITE(2, 0x1000, raw.data(), 16), 1);
    EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 4), (Bytes{0x02, 0x00, 0x10, 0x00}));
    EXPECT_EQ(sim(0).flash(0x1000, 16), Bytes(16, 0xEE));
}

TEST_F(FpgaLink, EraseCoversItsBlocksAndRefusesRangesBeyondTheFlash)
{
    sim(0).pokeFlash(0x7F8000, Bytes(0x8000, 0x00));
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 2040, 1, 1), 1);
    Trace t = trace(transfers(kFlash0), 4);
    auto at = std::find(t.begin(), t.end(), "tx .3 52 7F 80 00");
    ASSERT_NE(at, t.end());
    EXPECT_EQ(*(at - 2), "tx .3 06");
    EXPECT_EQ(sim(0).flash(0x7F8000, 0x8000), Bytes(0x8000, 0xFF));

    bus().clearJournal();
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 2040, 1, 2), 0);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 0, 3, 1), 0);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 2033, 2, 1), 0);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 100, 0, 0), 1);
    EXPECT_TRUE(bus().journal().empty());

    // Sector and 64 KB erases, several in a row.
    sim(0).pokeFlash(0x10000, Bytes(0x30000, 0x11));
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 17, 0, 2), 1);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 32, 2, 1), 1);
    auto ops = sim(0).flashOps();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[1].addr, 0x11000u);
    EXPECT_EQ(ops[2].addr, 0x12000u);
    EXPECT_EQ(ops[3].addr, 0x20000u);
    EXPECT_EQ(ops[3].length, 0x10000u);
    EXPECT_EQ(sim(0).flash(0x10000, 1), Bytes{0x11});
    EXPECT_EQ(sim(0).flash(0x11000, 0x2000), Bytes(0x2000, 0xFF));
    EXPECT_EQ(sim(0).flash(0x13000, 1), Bytes{0x11});
    EXPECT_EQ(sim(0).flash(0x20000, 0x10000), Bytes(0x10000, 0xFF));
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaLink, FlashReadStreamsLongReadsIn2048BytePieces)
{
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i ^ (i >> 8));
    sim(0).pokeFlash(0x123456, data);
    Bytes got(5000);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0x123456, 5000, got.data()), 1);
    EXPECT_EQ(got, data);
    auto t = transfers(kFlash0);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].tx, (Bytes{0x0B, 0x12, 0x34, 0x56, 0x00}));
    EXPECT_EQ(t[1].tx.size(), 2048u);
    EXPECT_EQ(t[2].tx.size(), 2048u);
    EXPECT_EQ(t[3].tx.size(), 904u);

    // A short read is one transfer; empty or out-of-range reads touch
    // nothing.
    bus().clearJournal();
    Bytes small(16);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0x123456, 16, small.data()), 1);
    EXPECT_EQ(small, Bytes(data.begin(), data.begin() + 16));
    ASSERT_EQ(transfers().size(), 1u);
    EXPECT_EQ(transfers()[0].tx.size(), 5u + 16);
    bus().clearJournal();
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0, 0, small.data()), 0);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0x7FFFF8, 16, small.data()), 0);
    EXPECT_EQ(drv().flash_write_copy(2, 0x7FFFF8, small.data(), 16), 0);
    EXPECT_TRUE(bus().journal().empty());
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaLink, UniqueIdIsReadUnderItsOwnCommand)
{
    uint8_t id[8] = {};
    EXPECT_EQ(drv().FPGA_SPI_FLASH_SSTF016B_RD_UID(2, id), 1);
    auto t = transfers(kFlash0);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].tx.size(), 13u);
    EXPECT_EQ(t[0].tx[0], 0x4B);
    EXPECT_EQ(Bytes(id, id + 8), (Bytes{0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7}));
}

TEST_F(FpgaLink, ADeadFlashEndsTheOperationDeselectedInsteadOfHanging)
{
    fpga_drv::busy_limit_ms = 5;
    sim(0).setFlashDead(true);
    Bytes data(16, 0x42);
    EXPECT_EQ(drv().flash_write_copy(2, 0x2000, data.data(), 16), 0);
    EXPECT_EQ(bus().pad(fpga_pads::kFlashSelect[0]), 16);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 2, 0, 1), 0);
    EXPECT_EQ(bus().pad(fpga_pads::kFlashSelect[0]), 16);
    EXPECT_EQ(bus().pad(fpga_pads::kSelect[0]), 16);
    fpga_drv::busy_limit_ms = 3000;

    // Alive again, the next operation works.
    sim(0).setFlashDead(false);
    EXPECT_EQ(drv().flash_write_copy(2, 0x2000, data.data(), 16), 1);
    EXPECT_EQ(sim(0).flash(0x2000, 16), data);
}

TEST_F(FpgaLink, MisuseOfTheBusIsReported)
{
    // A transfer with no FPGA selected.
    uint8_t b = 0x55;
    drv().SPI_Transfer_Write(drv().link_fd(0), &b, 1);
    ASSERT_EQ(bus().busErrors().size(), 1u);
    EXPECT_NE(bus().busErrors()[0].find("no select low"), std::string::npos);

    // A scaler frame while an FPGA listens: the scaler chip sees it.
    int scaler = bus().open("/dev/spidev32766.0");
    uint8_t frame[2] = {0x80, 0x08};
    bus().write16(fpga_pads::kSelect[1], 0);
    bus().transfer(scaler, frame, nullptr, 2, 10000000);
    bus().write16(fpga_pads::kSelect[1], 16);
    ASSERT_EQ(bus().busErrors().size(), 2u);
    EXPECT_NE(bus().busErrors()[1].find("while FPGA 1 is selected"), std::string::npos);
}

TEST_F(FpgaLink, WithoutTheSocWindowNothingReachesTheBus)
{
    fpga_manage::destroyForTest();
    bus().reset();
    bus().failMap(platform::SocWindow::RequestRefused);
    fpga_manage* fresh = fpga_manage::pInstance();
    EXPECT_EQ(fresh->initialize(), 255);
    bus().clearJournal();

    EXPECT_EQ(fresh->write_fpga_register(3, 1, 0, 0xFF), 255);
    uint8_t v = 0x77;
    EXPECT_EQ(fresh->read_fpga_register(31, &v, 0), 255);
    EXPECT_EQ(v, 0x77);
    Bytes buf(8);
    EXPECT_EQ(fresh->p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(2, 0, 8, buf.data()), 0);
    zevlosource::pInstance()->setup_state[0] = 2;
    fresh->softinit();
    run(1000);
    EXPECT_EQ(bus().transferCount(), 0u);
    EXPECT_EQ(fresh->get_fpga_status(), 0);
}

} // namespace
