// The simulated FPGAs behave as the manager and the next parts expect of
// the chips: reset line, start-up bits, flash rules and the port-pair
// plumbing the receiving-card chains plug into.
#include "fpga_fixture.h"

namespace {

class FpgaSim : public FpgaTest {
protected:
    void SetUp() override
    {
        FpgaTest::SetUp();
        m = manager();
        bus().clearJournal();
    }
    uint8_t readReg(uint8_t reg, uint8_t f = 0)
    {
        uint8_t v = 0xEE;
        m->read_fpga_register(reg, &v, f);
        return v;
    }
    fpga_manage* m = nullptr;
};

TEST_F(FpgaSim, ResetLineUnconfiguresAndReleaseRestoresPowerOnValues)
{
    m->write_fpga_register(41, 0x01, 0, 0xFF);
    Bytes data = {9, 8, 7};
    m->write_fpga_ram(data.data(), 300, 3, 1, 0);
    EXPECT_EQ(readReg(31), 0x25);

    bus().write16(fpga_pads::kReset[0], 0);
    EXPECT_TRUE(sim(0).inReset());
    EXPECT_EQ(readReg(31), 0x00);
    m->write_fpga_register(41, 0x02, 0, 0xFF); // ignored while unconfigured
    EXPECT_EQ(sim(1).configured(), true);

    bus().write16(fpga_pads::kReset[0], 16);
    EXPECT_EQ(sim(0).resetCount(), 1);
    EXPECT_EQ(readReg(31), 0x25);
    EXPECT_EQ(readReg(28), 0x01);
    EXPECT_EQ(readReg(40), 0x1F);
    EXPECT_EQ(readReg(41), 0x00);
    EXPECT_EQ(sim(0).ram(1, 300, 3), Bytes(3, 0));

    // A boot delay keeps it unconfigured for a number of transactions.
    sim(0).setBootDelay(2);
    bus().write16(fpga_pads::kReset[0], 0);
    bus().write16(fpga_pads::kReset[0], 16);
    EXPECT_EQ(readReg(31), 0x00);
    EXPECT_EQ(readReg(31), 0x00);
    EXPECT_EQ(readReg(31), 0x25);

    sim(0).setConfigFails(true);
    EXPECT_EQ(readReg(31), 0x00);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(FpgaSim, StartUpStatusBitsFollowTheControlRegisters)
{
    EXPECT_EQ(readReg(22), 0x00);
    m->write_fpga_register(3, 0x40, 0, 0x40);
    EXPECT_EQ(readReg(22), 0x00);
    sim(0).setStep2Error(true);
    EXPECT_EQ(readReg(22) & 0x08, 0x08);
    m->write_fpga_register(3, 0x80, 0, 0x80);
    EXPECT_EQ(readReg(22) & 0x10, 0x10);
    m->write_fpga_register(23, 0x01, 0, 0x01);
    EXPECT_EQ(readReg(22) & 0x80, 0x80);
    sim(0).setMeasuredInput(0, 0, 0); // no input: no video lock
    EXPECT_EQ(readReg(22) & 0x80, 0x00);

    sim(0).setLinks(0x0305);
    EXPECT_EQ(readReg(128), 0x05);
    EXPECT_EQ(readReg(144), 0x03);
    m->write_fpga_register(128, 0xFF, 0, 0xFF); // an input of the FPGA
    EXPECT_EQ(readReg(128), 0x05);

    sim(0).setMeasuredInput(1280, 720, 833333);
    Bytes measured(8);
    m->read_fpga_ram(measured.data(), 116, 8, 1, 0);
    EXPECT_EQ(measured, (Bytes{0x00, 0x05, 0xD0, 0x02, 0x35, 0xB7, 0x0C, 0x00}));
}

TEST_F(FpgaSim, FlashRefusesProgramsWithoutWriteEnableOrWhileBusyAndWrapsInItsPage)
{
    int fd = m->p_fpga_drv->flash_fd(0);
    auto select = [](bool on) {
        bus().write16(fpga_pads::kSelect[0], on ? 0 : 16);
        bus().write16(fpga_pads::kFlashSelect[0], on ? 0 : 16);
    };
    auto send = [&](Bytes tx) {
        Bytes rx(tx.size());
        bus().transfer(fd, tx.data(), rx.data(), uint32_t(tx.size()), 10000000);
        return rx;
    };
    select(true);
    Bytes program = {0x02, 0x00, 0x00, 0xF8};
    for (int i = 0; i < 16; ++i)
        program.push_back(uint8_t(i));
    send(program); // no write enable
    EXPECT_EQ(bus().busErrors().size(), 1u);
    send({0x06});
    EXPECT_EQ(send({0x05, 0xFF})[1], 0x02); // write enabled, idle
    send(program);
    EXPECT_EQ(send({0x05, 0xFF})[1] & 1, 1);
    send({0x06}); // while busy: refused
    EXPECT_EQ(bus().busErrors().size(), 2u);
    EXPECT_EQ(send({0x05, 0xFF})[1] & 1, 1);
    EXPECT_EQ(send({0x05, 0xFF})[1] & 1, 1);
    EXPECT_EQ(send({0x05, 0xFF})[1] & 1, 0);
    select(false);
    EXPECT_EQ(sim(0).flash(0xF8, 8), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(sim(0).flash(0x00, 8), (Bytes{8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(sim(0).flash(0x100, 1), Bytes{0xFF});

    // A fast read streams on until the flash select rises.
    select(true);
    Bytes first = send({0x0B, 0x00, 0x00, 0xFC, 0x00, 0xFF, 0xFF});
    Bytes more = send({0xFF, 0xFF});
    select(false);
    EXPECT_EQ(first[5], 4);
    EXPECT_EQ(first[6], 5);
    EXPECT_EQ(more, (Bytes{6, 7}));
}

// A chain that records what reached it and answers every frame.
struct EchoChain : platform::SimFpgaPortPair {
    std::vector<std::pair<int, Bytes>> frames;
    void frameSent(SimFpga& fpga, int port, const Bytes& frame) override
    {
        frames.emplace_back(port, frame);
        Bytes answer = frame;
        answer.back() ^= 0x01;
        fpga.queueAnswer(port / 2, answer);
    }
};

TEST_F(FpgaSim, PortPairsCarryFramesToChainsAndAnswersBackWithReadyBitsAndInterrupt)
{
    EchoChain chain;
    sim(0).setPortPair(1, &chain);

    // A 13-byte frame on port 3: send RAM 5, length 12 in register 134,
    // bits 8-9 in register 27 bits 2-3, the port in register 132, started
    // by register 130's high nibble.
    Bytes frame = {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x04, 0x00, 0x81, 0xFF, 0x00, 0x00};
    m->write_fpga_ram(frame.data(), 0, 13, 5, 0);
    m->write_to_register(134, 0xFF, 12, 0);
    m->write_to_register(27, 0x0C, 0, 0);
    m->write_to_register(132, 0xFF, 0x08, 0);
    m->write_to_register(130, 0xF0, 0x20, 0);
    ASSERT_EQ(chain.frames.size(), 1u);
    EXPECT_EQ(chain.frames[0].first, 3);
    EXPECT_EQ(chain.frames[0].second, frame);
    EXPECT_EQ(sim(0).reg(130), 0x00); // strobes read back as 0

    // The answer waits in receive slot 1 (RAM 4), announced by register 129
    // bit 2, its length in register 133 and the interrupt line.
    EXPECT_EQ(bus().pad(fpga_pads::kInterrupt[0]) & 1, 1);
    EXPECT_EQ(readReg(129), 0x04);
    EXPECT_EQ(readReg(133), 12);
    Bytes got(13);
    m->read_fpga_ram(got.data(), 0, 13, 4, 0);
    EXPECT_EQ(got.back(), uint8_t(frame.back() ^ 0x01));

    // A second answer is presented once the first is acknowledged.
    sim(0).queueAnswer(1, Bytes(300, 0x33));
    EXPECT_EQ(sim(0).queuedAnswers(1), 2u);
    m->write_to_register(130, 0x02, 0x02, 0);
    EXPECT_EQ(sim(0).queuedAnswers(1), 1u);
    EXPECT_EQ(readReg(133), uint8_t(299));
    EXPECT_EQ(readReg(25) & 0x0C, 0x04); // bits 8-9 of 299
    m->write_to_register(130, 0x02, 0x02, 0);
    EXPECT_EQ(readReg(129), 0x00);
    EXPECT_EQ(bus().pad(fpga_pads::kInterrupt[0]) & 1, 0);

    // Slot 4 (ports 8 and 9) is announced in register 145.
    sim(0).queueAnswer(4, Bytes(5, 1));
    EXPECT_EQ(readReg(145), 0x01);
    EXPECT_EQ(readReg(149), 4);
    m->write_to_register(146, 0x01, 0x01, 0);
    EXPECT_EQ(readReg(145), 0x00);

    // A 1024-byte frame uses all ten length bits.
    Bytes big(1024, 0xA5);
    m->write_fpga_ram(big.data(), 0, 1024, 3, 0);
    m->write_to_register(26, 0xFF, 0xFF, 0);
    m->write_to_register(27, 0x03, 0x03, 0);
    m->write_to_register(132, 0xFF, 0x01, 0);
    m->write_to_register(130, 0xF0, 0x10, 0);
    auto sent = sim(0).sentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].port, 0);
    EXPECT_EQ(sent[1].frame.size(), 1024u);
    sim(0).setPortPair(1, nullptr);
    EXPECT_TRUE(bus().busErrors().empty());
}

} // namespace
