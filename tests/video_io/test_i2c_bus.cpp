// The video bus: multiplexer selection, EDID memory pages and the record of
// every transfer.
#include "tests/support/sandbox.h"

#include "platform/i2c.h"
#include "platform/i2c_devices.h"
#include "video_io/drv_i2c.h"

#include <vector>

using platform::I2cMsg;
using platform::simI2c;

using BusTest = Sandbox;

TEST_F(BusTest, EachInputsMemoryIsReachedThroughItsMultiplexerChannelOnly)
{
    Drv_I2C0 bus;
    uint8_t page[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(bus.write_regs(2, vbus::kEeprom, 0x10, page, 8), 0);
    EXPECT_EQ(simI2c().muxControl(0), 0x04);
    EXPECT_EQ(simI2c().muxControl(1), 0x00);
    uint8_t back[8] = {};
    ASSERT_EQ(bus.read_regs(3, vbus::kEeprom, 0x10, back, 8), 0);
    EXPECT_EQ(simI2c().muxControl(0), 0x00);
    EXPECT_EQ(simI2c().muxControl(1), 0x01);
    EXPECT_EQ(back[0], 0xFF); // input 3's memory, untouched
    EXPECT_EQ(simI2c().eeprom(2)[0x10], 1);
    EXPECT_EQ(simI2c().eeprom(2)[0x17], 8);
}

TEST_F(BusTest, TwoMemoriesAnsweringAtOnceFailTheTransfer)
{
    uint8_t both = 0x01;
    I2cMsg sel14{vbus::kMux14, false, &both, 1};
    I2cMsg sel20{vbus::kMux20, false, &both, 1};
    ASSERT_EQ(simI2c().transfer(&sel14, 1), 0);
    ASSERT_EQ(simI2c().transfer(&sel20, 1), 0);
    uint8_t b = 0;
    I2cMsg rd{vbus::kEeprom, true, &b, 1};
    EXPECT_EQ(simI2c().transfer(&rd, 1), -1);
    std::vector<platform::SimI2c::Record> log = simI2c().records();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_FALSE(log.back().ok);
    EXPECT_EQ(log.back().mux[0], 0x01);
    EXPECT_EQ(log.back().mux[1], 0x01);
}

TEST_F(BusTest, AMemoryWritePastItsPageEndWrapsLikeTheRealPart)
{
    Drv_I2C0 bus;
    uint8_t data[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_EQ(bus.write_regs(0, vbus::kEeprom, 0x04, data, 10), 0);
    std::vector<uint8_t> mem = simI2c().eeprom(0);
    EXPECT_EQ(mem[0x06], 12);
    EXPECT_EQ(mem[0x07], 13);
    EXPECT_EQ(mem[0x00], 14); // wrapped to the page start
    EXPECT_EQ(mem[0x03], 17);
    EXPECT_EQ(mem[0x04], 18);
    EXPECT_EQ(mem[0x05], 19);
    EXPECT_EQ(mem[0x08], 0xFF);
}

TEST_F(BusTest, AFailedTransferMakesTheDriverSelectTheMultiplexersAgain)
{
    Drv_I2C0 bus;
    uint8_t v = 0;
    ASSERT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId, &v), 0);
    EXPECT_EQ(v, 0x02);
    simI2c().failNext(vbus::kIt6602, 1);
    EXPECT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId, &v), 255);
    // Someone else switched the multiplexer meanwhile.
    uint8_t other = 0x01;
    I2cMsg sel{vbus::kMux14, false, &other, 1};
    ASSERT_EQ(simI2c().transfer(&sel, 1), 0);
    simI2c().clearRecords();
    ASSERT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId + 1, &v), 0);
    EXPECT_EQ(v, 0x66);
    std::vector<platform::SimI2c::Record> log = simI2c().records();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].addr, vbus::kMux14);
    EXPECT_EQ(log[0].data, std::vector<uint8_t>{0x02});
}
