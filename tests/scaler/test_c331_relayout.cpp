// The relayout and what surrounds it: fade or freeze, the frozen frame's
// buffers, layer mixers and blend coefficients, and the window setters.
#include "tests/scaler/scaler_fixture.h"

using namespace ram;

namespace {
class Relayout : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        bringUp();
        fd = scaler->c331_fd;
        for (int w = 0; w < 6; ++w) {
            for (int c = 0; c < 8; ++c)
                scaler->win_ich[w][c] = scaler->prev_win_ich[w][c] = -1;
            scaler->g_chg_win[w] = scaler->g_chg_input[w] = scaler->g_chg_dbd[w] = scaler->g_chg_attr[w] = 0;
            scaler->g_chg_mirror[w] = 0;
            scaler->win_loaded[w] = 0;
            // The buffers as bring-up sets them (its relayout froze a frame).
            for (int b = 0; b < 5; ++b)
                scaler->win_bufs[w][b] = b;
        }
        for (int c = 0; c < 8; ++c)
            scaler->ich_win[c] = -1;
        scaler->g_chg_priority = scaler->g_chg_overlay = 0;
    }
    // Window w on output channel k (its own cell) capturing on input channel c.
    void window(int w, int k, int c)
    {
        scaler->win_loaded[w] = 1;
        scaler->PM_WIN_SHAPE[w][0] = scaler->PM_WIN_SHAPE[w][1] = 1;
        scaler->PM_WIN_NUM[k] = scaler->prev_PM_WIN_NUM[k] = w;
        scaler->PM_AREA_NUM[k] = 0;
        scaler->win_ich[w][0] = scaler->prev_win_ich[w][0] = c;
        scaler->ich_win[c] = w;
        scaler->PM_INPUT[w] = 2;
        scaler->PI_PORT_INFO[2].nosig = 0;
    }
    int count(uint32_t code, uint32_t value, int bankOffset, uint64_t since) const
    {
        const auto all = chip().writes(code, bankOffset, since);
        return int(std::count(all.begin(), all.end(), value));
    }
    int fd = -1;
};
} // namespace

TEST_F(Relayout, OneSourceSwitchFadesAnythingMoreFreezes)
{
    window(0, 0, 0);
    window(1, 1, 1);
    scaler->PM_WIN_FADE_EN[0] = 1;
    scaler->PM_WIN_FADE_OUT[0] = scaler->PM_WIN_FADE_IN[0] = 60;
    scaler->g_chg_input[0] = 1;
    uint64_t mark = chip().mark();
    scaler->set_output(fd);
    // 61 frames out, 61 in, no capture stopped.
    EXPECT_EQ(count(0x002201, 0xFF, 0, mark), 2 * 61 + 1); // and one register hold
    EXPECT_EQ(count(0x050901, 1, 0, mark), 2 * 61);
    EXPECT_EQ(count(0x100901, 2, 0, mark), 0);
    EXPECT_EQ(scaler->g_chg_input[0], 0);

    // The same switch while window 1 changes size: frozen instead.
    scaler->g_chg_input[0] = 1;
    scaler->g_chg_win[1] = 1;
    mark = chip().mark();
    scaler->set_output(fd);
    EXPECT_EQ(count(0x050901, 1, 0, mark), 1);
    EXPECT_EQ(count(0x100901, 2, 0, mark), 1);  // window 0's input channel 0
    EXPECT_EQ(count(0x100901, 2, 16, mark), 1); // window 1's, once it writes the same buffer
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(scaler->g_chg_win[w] + scaler->g_chg_input[w] + scaler->g_chg_dbd[w] + scaler->g_chg_attr[w], 0);

    // A fade of 0 frames sets the final coefficients at once.
    scaler->update_overlay_info();
    mark = chip().mark();
    scaler->set_layer_coef(fd, 0, 0, 1);
    EXPECT_EQ(count(0x002201, 0xFF, 0, mark), 1);
    EXPECT_EQ(chip().value(0x0E1701), 128u); // case 1, layer 1: the window at full
    EXPECT_EQ(chip().value(0x0E1601), 0u);   // and the background gone
}

TEST_F(Relayout, FrozenFrameHeldInTheSpareBuffer)
{
    window(0, 0, 0);
    scaler->g_chg_win[0] = 1;
    chip().set(0xAB4701, 1 << 2); // input channel 0 writes buffer 1
    uint64_t mark = chip().mark();
    scaler->set_freeze(fd, 1);
    EXPECT_EQ(std::vector<int32_t>(scaler->win_bufs[0], scaler->win_bufs[0] + 5), (std::vector<int32_t>{4, 1, 2, 3, 0}));
    EXPECT_EQ(chip().value(0x166603, 0), 0x3214u);
    EXPECT_EQ(chip().lastWrite(0x166C02, 0, mark), 0u); // every read pointer on buffer 0
    EXPECT_EQ(scaler->win_frozen[0], 1);
    scaler->set_freeze(fd, 0);
    EXPECT_EQ(chip().value(0x166C02, 0), 0x2143u); // one behind the writer
    EXPECT_EQ(scaler->win_frozen[0], 0);
}

TEST_F(Relayout, AChannelLessWindowFirstDoesNotKeepTheOthersFromFreezing)
{
    // Window 0 has no input channel (nothing to hold); window 1 moves from
    // output channel 1 to 2 in the same relayout.
    scaler->win_loaded[0] = 1;
    scaler->PM_WIN_SHAPE[0][0] = scaler->PM_WIN_SHAPE[0][1] = 1;
    scaler->PM_WIN_NUM[0] = scaler->prev_PM_WIN_NUM[0] = 0;
    window(1, 1, 1);
    scaler->PM_WIN_NUM[1] = 6;
    scaler->PM_WIN_NUM[2] = 1;
    scaler->g_chg_win[0] = scaler->g_chg_win[1] = 1;
    chip().set(0xAB4701 + 0x100, 2 << 2); // input channel 1 writes buffer 2
    uint64_t mark = chip().mark();
    scaler->set_freeze(fd, 1);
    EXPECT_EQ(count(0x100901, 2, 16, mark), 1); // window 1's capture held
    EXPECT_EQ(scaler->win_frozen[1], 1);
    EXPECT_EQ(scaler->win_frozen[0], 0);
    EXPECT_EQ(std::vector<int32_t>(scaler->win_bufs[1], scaler->win_bufs[1] + 5), (std::vector<int32_t>{0, 4, 2, 3, 1}));
    EXPECT_EQ(chip().lastWrite(0x166C02, 16, mark), 0x1111u); // the old place shows the held frame
    mark = chip().mark();
    scaler->set_freeze(fd, 0);
    // The new place reads one buffer behind the writer, not a stale word.
    EXPECT_EQ(chip().lastWrite(0x166C02, 32, mark), 0x2403u);
    EXPECT_EQ(scaler->win_frozen[1], 0);
}

TEST_F(Relayout, LayersByPriority)
{
    // Windows 0 and 1 on mixer 1, priorities 0 and 1: channel 1 at the back.
    for (int k = 0; k < 8; ++k) {
        scaler->PM_WIN_NUM[k] = 6;
        scaler->PM_OVERLAY[k] = k + 1;
    }
    window(0, 0, 0);
    window(1, 1, 1);
    scaler->PM_OVERLAY[1] = 1;
    scaler->pwinfo[0].layer = 0;
    scaler->pwinfo[1].layer = 1;
    scaler->c331_SetWinPriority1(fd);
    EXPECT_EQ(chip().value(0x0E0904, 0), 0x89u);
    EXPECT_EQ(chip().value(0x0E0904, 16), 0u);
    EXPECT_EQ(chip().value(0x0E0904, 32), 0x0Au);

    // Six windows on one mixer: priorities 0..5 put window 0 in front,
    // reversed window 5.
    for (int w = 0; w < 6; ++w) {
        window(w, w, w);
        scaler->PM_OVERLAY[w] = 1;
        scaler->c331_SetWinPriority(w, w);
    }
    scaler->c331_SetWinPriority1(fd);
    EXPECT_EQ(chip().value(0x0E0904, 0), 0x89ABCDu); // channel 5 at the back, 0 in front
    for (int w = 0; w < 6; ++w)
        scaler->c331_SetWinPriority(w, 5 - w);
    scaler->c331_SetWinPriority1(fd);
    EXPECT_EQ(chip().value(0x0E0904, 0), 0xDCBA98u);
    EXPECT_EQ(scaler->g_chg_priority, 1);
    // Priority 7 acts as 1.
    scaler->c331_SetWinPriority(2, 7);
    EXPECT_EQ(scaler->pwinfo[2].layer, 1);

    // Blend coefficients: the front-most present layer at full.
    scaler->reset_layer_coef(fd, 0);
    EXPECT_EQ(chip().value(0x0E3201), 128u); // case 6 (layers 2, 3): layer 3
    for (uint32_t l : {0u, 1u, 2u, 4u})
        EXPECT_EQ(chip().value(0x0E1101 + 0x500 * 6 + 0x100 * l), 0u);
    EXPECT_EQ(chip().value(0x0E1101), 128u); // case 0: the background
    // A mixer with nothing to mix gets nothing.
    EXPECT_EQ(chip().value(0x0E3201, 16), 0u);
    EXPECT_EQ(chip().value(0x0E1101, 16), 0u);
}

TEST_F(Relayout, OutputWordBlackFreezeFadeAndDotByDot)
{
    window(2, 3, 2);
    scaler->pwinfo[2].output = 0;
    scaler->PM_WIN_FADE_EN[2] = scaler->PM_WIN_DBD_MODE[2] = 0;
    // Freeze with a signal: the capture holds, nothing else.
    uint64_t mark = chip().mark();
    scaler->c331_SetWinOutput(fd, 2, kOutFreeze);
    EXPECT_EQ(chip().writes(0x100901, 32, mark), (std::vector<uint32_t>{2}));
    EXPECT_TRUE(chip().writes(0x002201, 0, mark).empty());
    EXPECT_EQ(scaler->pwinfo[2].output, kOutFreeze);
    scaler->c331_SetWinOutput(fd, 2, 0);
    EXPECT_EQ(chip().value(0x100901, 32), 1u);

    // As the chip set does it: dot-by-dot and fade asked together with a
    // freeze are dropped.
    scaler->c331_SetWinOutput(fd, 2, kOutFreeze | kOutFade | kOutDotByDot);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[2], 0);
    EXPECT_EQ(scaler->PM_WIN_FADE_EN[2], 0);

    // Freeze without a signal: stays off, and the rest is applied with a relayout.
    scaler->PI_PORT_INFO[2].nosig = 1;
    set16(imageRecord(2) + kImgDotMode, 10);
    mark = chip().mark();
    scaler->c331_SetWinOutput(fd, 2, kOutFade | kOutDotByDot);
    EXPECT_EQ(scaler->pwinfo[2].output & kOutFreeze, 0);
    EXPECT_EQ(scaler->PM_WIN_FADE_EN[2], 1);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[2], DBD_SINGLE_INPUT); // 10 is out of range
    EXPECT_FALSE(chip().writes(0x002201, 0, mark).empty());

    // Black: stored and a relayout.
    mark = chip().mark();
    scaler->c331_SetWinOutput(fd, 2, kOutBlack);
    EXPECT_EQ(scaler->pwinfo[2].output, kOutBlack);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[2], 0);
    EXPECT_FALSE(chip().writes(0x002201, 0, mark).empty());
}

TEST_F(Relayout, DotByDotModeWaitsForDotByDotOn)
{
    window(1, 1, 1);
    set16(imageRecord(1) + kImgOutput, 0);
    scaler->c331_SetWinDbdMode(fd, 1, 3);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[1], 0);
    set16(imageRecord(1) + kImgOutput, kOutDotByDot);
    scaler->c331_SetWinDbdMode(fd, 1, 3);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[1], DBD_CMOS_IN34);
}

TEST_F(Relayout, MirrorsAndChannelsWithoutWindows)
{
    for (int k = 0; k < 8; ++k)
        scaler->PM_WIN_NUM[k] = 6;
    window(1, 1, 1);
    scaler->PS_ACTHW = 1920;
    scaler->PS_ACTVW = 1080;
    scaler->c331_SetWinAttr(1, 7);
    EXPECT_EQ(scaler->PM_WIN_HMIRROR[1], 1);
    EXPECT_EQ(scaler->PM_WIN_VMIRROR[1], 1);
    EXPECT_EQ(chip().value(0x082201, 16), 1u);
    // A window not shown is left alone.
    const uint64_t mark = chip().mark();
    scaler->c331_SetWinAttr(4, 1);
    EXPECT_EQ(scaler->PM_WIN_HMIRROR[4], 0);
    EXPECT_TRUE(chip().journal(mark).empty());

    // Output channels that show no window get no active width.
    for (int k = 0; k < 8; ++k)
        chip().set(0x084202, 1920, 16 * k);
    scaler->reset_act(fd, 1);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(chip().value(0x084202, 16 * k), k == 1 ? 1920u : 0u) << k;
}
