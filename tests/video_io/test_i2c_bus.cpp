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
    std::vector<uint8_t> mem = simI2c().eeprom(2);
    EXPECT_EQ(std::vector<uint8_t>(mem.begin() + 0x10, mem.begin() + 0x18), std::vector<uint8_t>(page, page + 8));
}

TEST_F(BusTest, AMemoryWritePastItsPageEndWrapsLikeTheRealPart)
{
    Drv_I2C0 bus;
    uint8_t data[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_EQ(bus.write_regs(0, vbus::kEeprom, 0x04, data, 10), 0);
    std::vector<uint8_t> mem = simI2c().eeprom(0);
    EXPECT_EQ(std::vector<uint8_t>(mem.begin(), mem.begin() + 9),
              std::vector<uint8_t>({14, 15, 16, 17, 18, 19, 12, 13, 0xFF}));
}

TEST_F(BusTest, AFailedTransferMakesTheDriverSelectTheMultiplexersAgain)
{
    Drv_I2C0 bus;
    uint8_t v = 0;
    ASSERT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId, &v), 0);
    simI2c().failNext(vbus::kIt6602, 1);
    EXPECT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId, &v), 255);
    // Someone else switched the multiplexer meanwhile.
    uint8_t other = 0x01;
    I2cMsg sel{vbus::kMux14, false, &other, 1};
    ASSERT_EQ(simI2c().transfer(&sel, 1), 0);
    ASSERT_EQ(bus.read_reg(1, vbus::kIt6602, vbus::kRxId + 1, &v), 0);
    std::vector<platform::SimI2c::Record> log = simI2c().records();
    EXPECT_EQ(log.back().addr, vbus::kIt6602);
    EXPECT_EQ(log.back().mux[0], 0x02); // read from input 1's receiver
}
