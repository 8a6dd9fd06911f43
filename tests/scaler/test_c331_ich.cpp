// Input channels: counting, picking and making room, what each channel
// selects, the dual split, and the frame memory of dot-by-dot windows.
#include "tests/scaler/input_fixture.h"

namespace {
class Channels : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        noWindows();
    }
    // Channels 0..7 owned as given (-1 free).
    void own(std::initializer_list<int> owners)
    {
        int c = 0;
        for (int w : owners)
            scaler->ich_win[c++] = w;
    }
    std::vector<int> owners() const { return std::vector<int>(scaler->ich_win, scaler->ich_win + 8); }
    std::vector<int> channelsOf(int w) const
    {
        std::vector<int> out;
        for (int i = 0; i < 8 && scaler->win_ich[w][i] >= 0; ++i)
            out.push_back(scaler->win_ich[w][i]);
        return out;
    }
    // Window w shown (shape 1 x 1) on `port`, optionally dot by dot.
    void shown(int w, int port, int dbd = 0)
    {
        scaler->win_loaded[w] = 1;
        scaler->PM_WIN_SHAPE[w][0] = scaler->PM_WIN_SHAPE[w][1] = 1;
        scaler->PM_INPUT[w] = port;
        scaler->PM_WIN_DBD_MODE[w] = dbd;
    }
    void interlacedPort(int p, bool on) { scaler->PI_PORT_INFO[p].ip = on ? 1 : 0; }
};
} // namespace

TEST_F(Channels, PickingAFreeChannelKeepsPairsWhole)
{
    using V = std::vector<int>;
    struct Case {
        V owned;
        int ip, dual, want;
    };
    const Case cases[] = {
        {{-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0},
        {{0, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 1},
        {{0, 0, -1, -1, -1, -1, -1, -1}, 0, 0, 2},
        {{-1, -1, 0, -1, -1, -1, -1, -1}, 0, 0, 3}, // beside a used channel 2, not 0
        {{0, 0, 0, 0, -1, -1, -1, -1}, 0, 0, 4},
        {{0, 0, 0, 0, -1, -1, 1, -1}, 0, 0, 7},
        {{0, 0, 0, 0, 1, -1, -1, -1}, 0, 0, 5},
        {{0, 0, 0, 0, 1, 1, 1, 1}, 0, 0, -1},
        {{0, 0, 0, 0, -1, -1, -1, -1}, 1, 0, -1}, // interlaced: 0..3 only
        {{0, -1, -1, -1, -1, -1, -1, -1}, 1, 0, 1},
        {{0, 0, 0, -1, -1, -1, -1, -1}, 1, 0, 3},
        {{-1, -1, -1, -1, -1, -1, -1, -1}, 0, 1, 4},
        {{-1, -1, -1, -1, 0, 0, -1, -1}, 0, 1, 6},
        {{-1, -1, -1, -1, 0, 0, 1, 1}, 0, 1, 2},
        {{-1, 2, -1, -1, 0, 1, 1, 1}, 0, 1, 2},
        {{1, -1, 2, -1, 0, 1, 1, 1}, 0, 1, -1},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 8; ++i)
            scaler->ich_win[i] = c.owned[size_t(i)];
        EXPECT_EQ(scaler->check_ich(c.ip, c.dual), c.want) << "ip " << c.ip << " dual " << c.dual;
    }
}

TEST_F(Channels, MakingRoomMovesOtherWindows)
{
    // An interlaced source with 0..3 held by progressive windows: the owner
    // of channel 0 moves to 4 and is marked as moved.
    for (int w = 0; w < 4; ++w)
        shown(w, w < 2 ? 0 : 1);
    interlacedPort(0, false);
    interlacedPort(1, false);
    own({0, 1, 2, 3, -1, -1, -1, -1});
    EXPECT_EQ(scaler->adjust_ich(1, 0, 5), 0);
    EXPECT_EQ(owners(), (std::vector<int>{5, 1, 2, 3, 0, -1, -1, -1}));
    EXPECT_EQ(scaler->g_chg_input[0], 2);

    // All four interlaced: a channel without deinterlacer.
    interlacedPort(0, true);
    interlacedPort(1, true);
    own({0, 1, 2, 3, -1, -1, -1, -1});
    EXPECT_EQ(scaler->adjust_ich(1, 0, 5), 0);
    EXPECT_EQ(owners(), (std::vector<int>{0, 1, 2, 3, 5, -1, -1, -1}));

    // A V-by-One window's pair is never split: the progressive window on
    // channel 2 moves instead of the pair's first half.
    shown(0, 5);
    interlacedPort(0, false);
    interlacedPort(1, false);
    for (int w = 1; w < 4; ++w)
        scaler->g_chg_input[w] = 0;
    own({0, 0, 2, 3, -1, -1, -1, -1});
    EXPECT_EQ(scaler->adjust_ich(1, 0, 5), 0);
    EXPECT_EQ(owners(), (std::vector<int>{0, 0, 5, 3, 2, -1, -1, -1}));

    // A pair half used: its user moves to 6, 7, 0, ... and the V-by-One
    // window takes the pair.
    own({1, 1, 2, 2, -1, 3, -1, -1});
    EXPECT_EQ(scaler->adjust_ich(0, 1, 5), 0);
    EXPECT_EQ(owners(), (std::vector<int>{1, 1, 2, 2, 5, 5, 3, -1}));
    EXPECT_EQ(scaler->g_chg_input[3], 2);
    own({1, -1, 2, 2, 4, 4, 0, 0});
    EXPECT_EQ(scaler->adjust_ich(0, 1, 5), -1); // channel 0's owner has nowhere to go
    own({1, 1, 2, 2, 3, 4, 0, 0});
    EXPECT_EQ(scaler->adjust_ich(0, 1, 5), -1);
    // Progressive: the lowest free channel.
    own({1, 1, 2, 2, 3, -1, 0, -1});
    EXPECT_EQ(scaler->adjust_ich(0, 0, 5), 0);
    EXPECT_EQ(scaler->ich_win[5], 5);
}

TEST_F(Channels, AllocationResults)
{
    shown(0, 2);
    EXPECT_EQ(scaler->set_input(0, 2), 0);
    EXPECT_EQ(channelsOf(0), std::vector<int>{0});
    shown(1, 5);
    EXPECT_EQ(scaler->set_input(1, 5), 0);
    EXPECT_EQ(channelsOf(1), (std::vector<int>{4, 5}));
    // Unavailable windows and ports.
    scaler->PM_WIN_SHAPE[2][0] = 0;
    EXPECT_EQ(scaler->set_input(2, 1), 2);
    shown(3, 6);
    EXPECT_EQ(scaler->set_input(3, 6), 2);
    scaler->PM_WIN_SHAPE[3][0] = 0;

    // Four windows of four ports each need 16 channels.
    noWindows();
    for (int w = 0; w < 4; ++w)
        shown(w, 0, DBD_CMOS_IN1234);
    EXPECT_EQ(scaler->set_input(0, 0), 2);
    EXPECT_TRUE(channelsOf(0).empty());
    // Two of them fit.
    scaler->PM_WIN_SHAPE[2][0] = scaler->PM_WIN_SHAPE[3][0] = 0;
    EXPECT_EQ(scaler->set_input(0, 0), 0);
    EXPECT_EQ(scaler->set_input(1, 0), 0);
    EXPECT_EQ(channelsOf(0).size() + channelsOf(1).size(), 8u);
    // A dot-by-dot window without a pending re-setup keeps what it has.
    scaler->g_chg_dbd[1] = 0;
    EXPECT_EQ(scaler->set_input(1, 0), 0);
    EXPECT_EQ(channelsOf(1).size(), 4u);

    // After room was made: result 1. Channels 0..3 progressive, 4..7 two
    // V-by-One windows; an interlaced source takes channel 0.
    noWindows();
    for (int w = 0; w < 4; ++w)
        shown(w, w < 2 ? 0 : 5);
    interlacedPort(0, false);
    scaler->PM_WIN_SHAPE[2][0] = scaler->PM_WIN_SHAPE[3][0] = 0;
    own({0, 1, -1, -1, -1, -1, -1, -1});
    shown(4, 2);
    interlacedPort(2, true);
    shown(5, 2);
    own({0, 1, 5, -1, -1, -1, -1, -1});
    scaler->ich_win[3] = 5;
    EXPECT_EQ(scaler->set_input(4, 2), 1);
    EXPECT_EQ(scaler->ich_win[0], 4);
    EXPECT_EQ(scaler->g_chg_input[0], 2);

    // A window gone: its channels are free again.
    scaler->PM_WIN_SHAPE[4][0] = 0;
    scaler->reset_ich(4);
    EXPECT_TRUE(channelsOf(4).empty());
    EXPECT_EQ(scaler->ich_win[0], -1);
}

TEST_F(Channels, SelectsAndTheDualSplit)
{
    shown(0, 2);
    scaler->set_input(0, 2);
    scaler->set_ichsel(fd, 0);
    EXPECT_EQ(chip().value(0x001001), 4u);
    shown(1, 5);
    scaler->set_input(1, 5);
    scaler->PI_HDMI_INFO[5].lane = 8;
    scaler->set_ichsel(fd, 1);
    EXPECT_EQ(chip().value(0x001401), 12u);
    EXPECT_EQ(chip().value(0x001501), 14u);
    scaler->PI_HDMI_INFO[5].lane = 2;
    scaler->set_ichsel(fd, 1);
    EXPECT_EQ(chip().value(0x001501), 13u);

    noWindows();
    shown(0, 0, DBD_VBO_IN12);
    scaler->PI_HDMI_INFO[4].lane = 4;
    scaler->PI_HDMI_INFO[5].lane = 8;
    scaler->set_input(0, 0);
    ASSERT_EQ(channelsOf(0).size(), 4u);
    scaler->set_ichsel(fd, 0);
    std::vector<uint32_t> selects;
    for (int c : channelsOf(0))
        selects.push_back(chip().value(0x001001 + 0x100u * unsigned(c)));
    EXPECT_EQ(selects, (std::vector<uint32_t>{8, 9, 12, 14}));

    scaler->PI_ACT[5] = {192, 1920, 82, 2160};
    scaler->set_idual(fd, 5, 1, 5);
    EXPECT_EQ(chip().value(0x031A01), 3u);
    EXPECT_EQ(chip().value(0x031B02), 192u);
    EXPECT_EQ(chip().value(0x031D02), 3840u);
    scaler->set_idual(fd, 5, 0, 5);
    EXPECT_EQ(chip().value(0x031A01), 0u);
}

TEST_F(Channels, DotByDotMemoryIsOneRunOfBlocks)
{
    scaler->PI_ACT_FULL[0] = {100, 1920, 40, 1080};
    scaler->PI_ACT_FULL[1] = {100, 1280, 40, 720};
    shown(0, 0, DBD_CMOS_IN12);
    shown(1, 0, DBD_CMOS_IN12V);
    scaler->ich_win[0] = 0;
    scaler->ich_win[1] = 1;
    scaler->win_ich[0][0] = 0;
    scaler->win_ich[1][0] = 1;
    // Side by side: blocks from 0 up, base of block 0; stacked: from 5 down.
    ASSERT_EQ(scaler->set_dbd_mem(fd, 0), 0);
    EXPECT_EQ(std::vector<int>(scaler->win_dbd_blk[0], scaler->win_dbd_blk[0] + 2), (std::vector<int>{0, 1}));
    EXPECT_EQ(scaler->win_dbd_sc[0][0], scaler->PS_MEM_DBD[0]);
    EXPECT_EQ(scaler->win_dbd_units[0], 10); // 1920 + 1280 over 320
    ASSERT_EQ(scaler->set_dbd_mem(fd, 1), 0);
    EXPECT_EQ(std::vector<int>(scaler->dbd_blk_used, scaler->dbd_blk_used + 6),
              (std::vector<int>{1, 1, -1, -1, 1, 1}));
    EXPECT_EQ(scaler->win_dbd_sc[1][2], scaler->PS_MEM_DBD[2] + 4 * scaler->PS_DBD_BLK_SIZE);
    EXPECT_EQ(scaler->win_dbd_units[1], 6);

    // Three blocks free but not side by side: a four-port window is refused
    // and keeps none.
    scaler->PI_ACT_FULL[2] = scaler->PI_ACT_FULL[3] = scaler->PI_ACT_FULL[0];
    shown(2, 0, DBD_CMOS_IN1234);
    scaler->ich_win[2] = 2;
    scaler->win_ich[2][0] = 2;
    EXPECT_EQ(scaler->set_dbd_mem(fd, 2), -1);
    EXPECT_EQ(scaler->win_dbd_blk[2][0], -1);
    // Window 0 gone: blocks 0..3 are one run again.
    scaler->reset_dbd_mem(0);
    EXPECT_EQ(scaler->set_dbd_mem(fd, 2), 0);
    EXPECT_EQ(std::vector<int>(scaler->win_dbd_blk[2], scaler->win_dbd_blk[2] + 4), (std::vector<int>{0, 1, 2, 3}));
    // Two blocks free at 0 and 5 only: a two-block window finds no run.
    scaler->reset_dbd_mem(2);
    scaler->reset_dbd_mem(1);
    for (int b : {1, 2, 3, 4})
        scaler->dbd_blk_used[b] = 1;
    EXPECT_EQ(scaler->set_dbd_mem(fd, 0), -1);
    EXPECT_EQ(scaler->set_dbd_mem(fd, 1), -1);

    // A single input small enough for its channel's own memory takes no block.
    EXPECT_EQ(scaler->check_dbd_input(fd, 0), 0);
    scaler->PI_ACT_FULL[0].hw = 3840;
    EXPECT_EQ(scaler->check_dbd_input(fd, 0), 1);
    scaler->PI_ACT_FULL[0] = {100, 2560, 40, 1440};
    EXPECT_EQ(scaler->check_dbd_input(fd, 0), 0);
    scaler->PI_ACT_FULL[5] = {100, 5120, 40, 2160};
    EXPECT_EQ(scaler->check_dbd_input(fd, 5), 0);
    scaler->PI_ACT_FULL[5].vw = 2177;
    EXPECT_EQ(scaler->check_dbd_input(fd, 5), 1);
    shown(3, 0, DBD_SINGLE_INPUT);
    scaler->ich_win[6] = 3;
    scaler->win_ich[3][0] = 6;
    EXPECT_EQ(scaler->set_dbd_mem(fd, 3), 0);
    EXPECT_EQ(scaler->win_dbd_blk[3][0], -1);
    EXPECT_EQ(scaler->win_dbd_sc[3][0], scaler->PS_MEM_SC[6][0]);
}

TEST_F(Channels, DotByDotCaptureRectanglesAndMemoryPlaces)
{
    scaler->PI_ACT_FULL[0] = {100, 1920, 40, 1080};
    scaler->PI_ACT_FULL[1] = {60, 1280, 30, 720};
    shown(0, 0, DBD_CMOS_IN12);
    ASSERT_EQ(scaler->set_input(0, 0), 0);
    const std::vector<int> ch = channelsOf(0);
    ASSERT_EQ(ch.size(), 2u);
    scaler->set_display_window_ich_dbd(fd, 0, DBD_CMOS_IN12);
    auto at = [&](uint32_t code, int c) { return chip().value(code, 16 * c); };
    EXPECT_EQ(at(0x101702, ch[0]), 93u);
    EXPECT_EQ(at(0x101902, ch[0]), 1920u);
    EXPECT_EQ(at(0x101B02, ch[0]), 41u);
    EXPECT_EQ(at(0x101902, ch[1]), 1280u);
    EXPECT_EQ(at(0x101D02, ch[1]), 720u);
    EXPECT_EQ(at(0x100901, ch[0]), 1u);
    EXPECT_EQ(at(0x100901, ch[1]), uint32_t(ch[0] + 8));
    EXPECT_EQ(at(0x114702, ch[1]), 0u); // no shrink
    EXPECT_EQ(at(0x163101, ch[0]), 10u);
    // The second port lies right of the first in the window's memory.
    EXPECT_EQ(at(0x161C04, ch[1]) - at(0x161C04, ch[0]), 4u * 1920u);

    // Stacked: one picture height below.
    scaler->PM_WIN_DBD_MODE[0] = DBD_CMOS_IN12V;
    scaler->g_chg_dbd[0] = 1;
    scaler->set_display_window_ich_dbd(fd, 0, DBD_CMOS_IN12V);
    EXPECT_EQ(at(0x161C04, ch[1]) - at(0x161C04, ch[0]), uint32_t(scaler->win_dbd_units[0]) * 1080u * 1024u);
    // Memory refused (four blocks wanted, two free): the window's marks
    // are cleared.
    for (int b = 0; b < 4; ++b)
        scaler->dbd_blk_used[b] = 1;
    scaler->PM_WIN_DBD_MODE[0] = DBD_CMOS_IN1234Q;
    scaler->g_chg_input[0] = 1;
    scaler->set_display_window_ich_dbd(fd, 0, DBD_CMOS_IN1234Q);
    EXPECT_EQ(scaler->g_chg_input[0], 0);
    EXPECT_EQ(scaler->g_chg_dbd[0], 0);
}
