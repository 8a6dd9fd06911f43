// Picture controls and test patterns on the output channels.
#include "tests/scaler/scaler_fixture.h"

namespace {
class Picture : public ScalerTest {
protected:
    // Every one of the eight output channels holds `value` in `code`.
    void expectAllChannels(uint32_t code, uint32_t value)
    {
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(chip().value(code, 16 * k), value) << std::hex << code << " channel " << k;
    }
    // Every write to `code` since `since` lies inside a hold of the
    // register-update timing (0x002201 = 0xFF ... the next 0x002201 = 0x99).
    void expectHeld(uint32_t code, uint64_t since)
    {
        bool held = false;
        int seen = 0;
        const uint8_t bank = uint8_t(code >> 16), addr = uint8_t(code >> 8);
        for (const auto& w : chip().journal(since)) {
            if (w.bank == 0 && w.addr == 0x22)
                held = w.value == 0xFF;
            if (w.bank % 16 == bank % 16 && w.bank >= bank && w.addr == addr) {
                EXPECT_TRUE(held) << std::hex << code;
                ++seen;
            }
        }
        EXPECT_GT(seen, 0);
        EXPECT_FALSE(held) << "left on hold";
    }
    // One loaded window on output channels 2 and 3, its input on port 2.
    void oneWindow(int inW, int inH, int outW, int outH)
    {
        scaler->mwin.n = 1;
        scaler->win_loaded[0] = 1;
        ST_WIN_INFO& info = scaler->pwinfo[0];
        info.hcnt = 2;
        info.vcnt = 1;
        info.och[0] = 2;
        info.och[1] = 3;
        info.w = uint16_t(outW);
        scaler->PM_INPUT[0] = 2;
        scaler->PI_STATE[2] = 4;
        scaler->IWIN[0] = {0, inW, 0, inH};
        scaler->OWIN[0] = {0, outW, 0, outH};
    }
};
} // namespace

TEST_F(Picture, BrightnessContrastSaturationOnEveryChannelInOneHold)
{
    const struct {
        unsigned short v;
        uint32_t data;
    } brightness[] = {{0, 0xC00}, {1, 0xC15}, {25, 0xE00}, {50, 0}, {75, 0x200}, {100, 0x400}, {150, 0xFEC}};
    for (const auto& b : brightness) {
        scaler->c331_SetBrightness(b.v);
        expectAllChannels(0x0C3A02, b.data);
        expectAllChannels(0x0C3E02, b.data);
    }
    uint64_t mark = chip().mark();
    scaler->c331_SetContrast(100);
    expectAllChannels(0x0C2802, 1023);
    expectAllChannels(0x0C2C02, 1023);
    expectAllChannels(0x0C2101, 1);
    expectHeld(0x0C2A02, mark);
    scaler->c331_SetContrast(101);
    expectAllChannels(0x0C2802, 0);

    chip().set(0x0C1401, 0x40, 32);
    mark = chip().mark();
    scaler->c331_SetSaturation(50);
    expectAllChannels(0x0C1D02, 511);
    EXPECT_EQ(chip().value(0x0C1401, 32), 0x41u); // the enable bit set, the rest kept
    expectHeld(0x0C1F02, mark);
    EXPECT_TRUE(platform::simSpiBus().busErrors().empty());
}

TEST_F(Picture, ColourTemperatureMatrixByType)
{
    const uint64_t mark = chip().mark();
    // Type 2: unity whatever the gain bytes say.
    scaler->c331_SetColorTemp(int(0x11223302));
    expectAllChannels(0x0C5B02, 8192);
    expectAllChannels(0x0C6302, 8192);
    expectAllChannels(0x0C6B02, 8192);
    expectAllChannels(0x0C5D02, 0);
    expectHeld(0x0C6B02, mark);
    for (uint32_t code = 0x005901; code <= 0x006001; code += 0x100)
        EXPECT_EQ(chip().value(code) & 0x20, 0x20u);
    // Type 0: the gain bytes count 128 = 1.0; red is the top byte.
    scaler->c331_SetColorTemp(int((100u << 24) | (64u << 16) | (32u << 8) | 0));
    expectAllChannels(0x0C5B02, 6400);
    expectAllChannels(0x0C6302, 4096);
    expectAllChannels(0x0C6B02, 2048);
    scaler->c331_SetColorTemp(3);
    expectAllChannels(0x0C6B02, 10978);
}

TEST_F(Picture, SharpnessFollowsTheWindowRatioAndStaysStrong)
{
    // Without a window only the enable bit is written.
    uint64_t mark = chip().mark();
    scaler->c331_SetSharpness(50);
    EXPECT_EQ(chip().value(0x0C2101), 1u);
    EXPECT_TRUE(chip().writes(0x0B0901, 32, mark).empty());

    oneWindow(1920, 1080, 1920, 1080);
    scaler->c331_SetSharpness(11);
    for (int k : {2, 3}) {
        EXPECT_EQ(chip().value(0x0B0801, 16 * k), 6u);
        EXPECT_EQ(chip().value(0x0B0C01, 16 * k), 44u);
        EXPECT_EQ(chip().value(0x0B1001, 16 * k), 2u);
        EXPECT_EQ(chip().value(0x0B0901, 16 * k), 12u);
        EXPECT_EQ(chip().value(0x0B1501, 16 * k), 44u);
        EXPECT_EQ(chip().value(0x0B1601, 16 * k), 50u);
        EXPECT_EQ(chip().value(0x0B1201, 16 * k), 12u);
    }
    EXPECT_EQ(chip().value(0x0B0801, 0), 0u); // not the window's channel

    // 3x wider than the input: the strongest horizontal set.
    oneWindow(640, 1080, 1920, 1080);
    scaler->c331_SetSharpness(100);
    EXPECT_EQ(chip().value(0x0B0C01, 32), 36u);
    EXPECT_EQ(chip().value(0x0B1501, 32), 44u);
    // 90 x 12.8 is held at 255 rather than wrapping to 128.
    EXPECT_EQ(chip().value(0x0B0901, 32), 255u);
    scaler->c331_SetSharpness(30);
    EXPECT_EQ(chip().value(0x0B0901, 32), 255u);

    // Sharpness 10 and below: zeros and no gain.
    scaler->c331_SetSharpness(10);
    EXPECT_EQ(chip().value(0x0B0801, 48), 0u);
    EXPECT_EQ(chip().value(0x0B0C01, 48), 0u);
    EXPECT_EQ(chip().value(0x0B1201, 48), 0u);

    // A window whose input has no signal is left alone.
    scaler->PI_STATE[2] = 0;
    mark = chip().mark();
    scaler->c331_SetSharpness(60);
    EXPECT_TRUE(chip().writes(0x0B0901, 32, mark).empty());
}

TEST_F(Picture, TestPatternsOnWindowZeroOnly)
{
    oneWindow(1920, 1080, 3840, 1080);
    EXPECT_EQ(scaler->c331_SetPattern(4), 0);
    EXPECT_EQ(scaler->pattern_active, 1);
    for (int k : {2, 3}) {
        EXPECT_EQ(chip().value(0x085701, 16 * k), 4u);
        EXPECT_EQ(chip().value(0x085B02, 16 * k), 0x8000u); // wider than 2048
        EXPECT_EQ(chip().value(0x086501, 16 * k), 0xFFu);
        EXPECT_EQ(chip().value(0x086801, 16 * k), 3u);
    }
    EXPECT_EQ(scaler->vyxApi_IsPatternGen(), 1);
    // 21 acts as 1 (red only): the earlier blue is cleared first.
    scaler->c331_SetPattern(21);
    EXPECT_EQ(chip().value(0x086301, 32), 0xFFu);
    EXPECT_EQ(chip().value(0x086501, 32), 0u);
    scaler->c331_SetPattern(0);
    EXPECT_EQ(scaler->pattern_active, 0);
    EXPECT_EQ(chip().value(0x085701, 32), 0u);

    // Two windows: refused, nothing written.
    scaler->mwin.n = 2;
    const uint64_t mark = chip().mark();
    EXPECT_EQ(scaler->c331_SetPattern(3), -1);
    EXPECT_TRUE(chip().journal(mark).empty());
    EXPECT_EQ(scaler->pattern_active, 0);
}
