// Window geometry: input and output rectangles, their split over the output
// channels, the ratio rule and the registers of both sides of a window.
#include "tests/scaler/scaler_fixture.h"

#include "platform/platform.h"
#include "scaler/c331_geometry.h"

namespace {
class Geometry : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        bringUp();
        for (int w = 0; w < 6; ++w) {
            for (int c = 0; c < 8; ++c)
                scaler->win_ich[w][c] = -1;
            scaler->PM_INPUT_OFFSET_EN[w] = 0;
            scaler->PM_WIN_DBD_MODE[w] = 0;
            // The buffers as bring-up sets them (its relayout froze a frame).
            for (int b = 0; b < 5; ++b)
                scaler->win_bufs[w][b] = b;
        }
    }
    // Window 0 on port 2 with a 1920 x 1080 picture, shown on `cols` x `rows` channels.
    void window0(int cols, int rows)
    {
        scaler->PM_WIN_SHAPE[0][0] = cols;
        scaler->PM_WIN_SHAPE[0][1] = rows;
        scaler->PM_INPUT[0] = 2;
        scaler->PI_ACT[2] = {192, 1920, 41, 1080};
        scaler->PI_ACT_FULL[2] = scaler->PI_ACT[2];
        scaler->PI_STATE[2] = 4;
        scaler->PI_SCAN_MODE[2] = 0;
    }
    _ImageWindowDef_st iwin() const { return scaler->IWIN[0]; }
};

bool operator==(const _ImageWindowDef_st& a, const _ImageWindowDef_st& b)
{
    return a.hst == b.hst && a.hw == b.hw && a.vst == b.vst && a.vw == b.vw;
}
} // namespace

TEST_F(Geometry, RatioRuleInSixtyFourBits)
{
    _ScalingSt s;
    scaler->calc_scaling({0, 1920, 0, 1080}, {0, 1920, 0, 1080}, &s);
    EXPECT_EQ(s.hmode, 0);
    EXPECT_EQ(s.hshrink, 0);
    EXPECT_EQ(s.hzoom, 0);
    scaler->calc_scaling({0, 1920, 0, 3840}, {0, 1280, 0, 1920}, &s);
    EXPECT_EQ(s.hmode, 1);
    EXPECT_EQ(s.hshrink, 43680);
    EXPECT_EQ(s.vshrink, 32760);
    scaler->calc_scaling({0, 960, 0, 0}, {0, 1920, 0, 100}, &s);
    EXPECT_EQ(s.hmode, 2);
    EXPECT_EQ(s.hzoom, 32751);
    EXPECT_EQ(s.vmode, 0); // a size of 0
    // (in - 1) << 16 does not fit 32 bits here.
    scaler->calc_scaling({0, 60000, 0, 1}, {0, 50000, 0, 1}, &s);
    EXPECT_EQ(s.hshrink, 54614);
    EXPECT_EQ(c331geom::lineSize(1920, 1), 6144);
    EXPECT_EQ(c331geom::lineSize(1920, 2), 5120);
    EXPECT_EQ(c331geom::lineSize(1920, 3), 3840);
    EXPECT_EQ(c331geom::lineSize(1920, 0), 7680);
    EXPECT_EQ(c331geom::lineSize(1921, 1), 6147);
    EXPECT_EQ(c331geom::lineSize(1921, 2), 5128);
}

TEST_F(Geometry, OutputRectangleSplitOverChannels)
{
    scaler->PS_ACTHW = 1024;
    scaler->PS_ACTVW = 512;
    window0(2, 1);
    _ImageWindowDef2_St t;
    scaler->calc_oact({100, 1800, 0, 512}, &t, 0);
    EXPECT_EQ(t.e[0].hst, 100);
    EXPECT_EQ(t.e[0].hw, 924);
    EXPECT_EQ(t.e[0].hfirst, 1);
    EXPECT_EQ(t.e[0].hlast, 0);
    EXPECT_EQ(t.e[1].hst, 0);
    EXPECT_EQ(t.e[1].hw, 876);
    EXPECT_EQ(t.e[1].hlast, 1);
    EXPECT_EQ(t.e[0].vw, 512);
    // A window that starts past the first tile leaves it empty.
    scaler->calc_oact({1100, 500, 0, 512}, &t, 0);
    EXPECT_EQ(t.e[0].hw, 0);
    EXPECT_EQ(t.e[1].hst, 76);
    EXPECT_EQ(t.e[1].hfirst, 1);

    // The output rectangle: the block less the margins, never negative.
    scaler->PM_WIN_OFFSET[0][0] = 100;
    scaler->PM_WIN_OFFSET[0][1] = 148;
    scaler->PM_WIN_OFFSET[0][2] = 12;
    scaler->PM_WIN_OFFSET[0][3] = 0;
    scaler->calc_owin2(0);
    EXPECT_TRUE((scaler->OWIN[0] == _ImageWindowDef_st{100, 1800, 12, 500}));
    scaler->PM_WIN_OFFSET[0][1] = 5000;
    scaler->calc_owin2(0);
    EXPECT_EQ(scaler->OWIN[0].hw, 0);
}

TEST_F(Geometry, InputRectangle)
{
    window0(1, 1);
    scaler->calc_iwin2(0);
    EXPECT_TRUE((iwin() == _ImageWindowDef_st{0, 1920, 0, 1080}));
    // No shape, no picture, or no port: empty.
    scaler->PM_WIN_SHAPE[0][1] = 0;
    scaler->calc_iwin2(0);
    EXPECT_TRUE((iwin() == _ImageWindowDef_st{0, 0, 0, 0}));
    for (int port : {6, 255, -1}) {
        window0(1, 1);
        scaler->PM_INPUT[0] = port;
        scaler->calc_iwin2(0);
        EXPECT_TRUE((iwin() == _ImageWindowDef_st{0, 0, 0, 0})) << port;
    }

    // Crop margins; margins past the picture fall back to all of it.
    window0(1, 1);
    scaler->PM_INPUT_OFFSET_EN[0] = 1;
    int32_t margins[4] = {100, 1020, 50, 430};
    std::copy(margins, margins + 4, scaler->PM_INPUT_OFFSET[0]);
    scaler->calc_iwin2(0);
    EXPECT_TRUE((iwin() == _ImageWindowDef_st{100, 800, 50, 600}));
    scaler->PM_INPUT_OFFSET[0][1] = 1900;
    scaler->calc_iwin2(0);
    EXPECT_EQ(iwin().hw, 1920);

    // 1080i: frame height on a deinterlacing channel (0..3) only.
    scaler->PM_INPUT_OFFSET_EN[0] = 0;
    scaler->PI_ACT[2].vw = 540;
    scaler->PI_SCAN_MODE[2] = 1;
    scaler->win_ich[0][0] = 0;
    scaler->calc_iwin2(0);
    EXPECT_EQ(iwin().vw, 1080);
    scaler->win_ich[0][0] = 4;
    scaler->calc_iwin2(0);
    EXPECT_EQ(iwin().vw, 540);
    // A class-1 port delivers half lines.
    scaler->PI_STATE[2] = 1;
    scaler->PI_ACT[2].hw = 960;
    scaler->calc_iwin2(0);
    EXPECT_EQ(iwin().hw, 1920);
}

TEST_F(Geometry, DotByDotShowsTheSmallerOfPictureAndWindow)
{
    scaler->PS_ACTHW = 1280;
    scaler->PS_ACTVW = 720;
    window0(1, 1);
    scaler->PM_WIN_DBD_MODE[0] = DBD_SINGLE_INPUT;
    for (int i = 0; i < 4; ++i)
        scaler->PM_WIN_OFFSET[0][i] = 0;
    scaler->calc_iwin2(0);
    scaler->calc_owin2(0);
    EXPECT_TRUE((scaler->IWIN[0] == _ImageWindowDef_st{0, 1280, 0, 720}));
    EXPECT_TRUE((scaler->OWIN[0] == _ImageWindowDef_st{0, 1280, 0, 720}));
    // A smaller picture on a larger window: the window shrinks to it...
    scaler->PS_ACTHW = 1920;
    scaler->PS_ACTVW = 1080;
    scaler->PI_ACT_FULL[2] = {0, 1280, 0, 720};
    scaler->calc_iwin2(0);
    scaler->calc_owin2(0);
    EXPECT_TRUE((scaler->OWIN[0] == _ImageWindowDef_st{0, 1280, 0, 720}));
    // ... unless clipping is set, which cuts the picture only.
    scaler->dbd_clip[0] = 1;
    scaler->calc_iwin2(0);
    scaler->calc_owin2(0);
    EXPECT_TRUE((scaler->OWIN[0] == _ImageWindowDef_st{0, 1920, 0, 1080}));
    EXPECT_EQ(scaler->IWIN[0].hw, 1280);
}

TEST_F(Geometry, InputSideRegisters)
{
    window0(1, 1);
    // Two channels on a port delivering two half lines.
    scaler->win_ich[0][0] = 2;
    scaler->win_ich[0][1] = 3;
    scaler->PI_STATE[2] = 3;
    scaler->PI_ACT[2] = {4, 960, 41, 1080};
    scaler->PS_MEM_WMODE[0] = 0;
    scaler->set_display_window_ich(scaler->c331_fd, {0, 1920, 0, 1080}, {0, 1280, 0, 720}, 0);
    const int first = 16 * 2, second = 16 * 3;
    EXPECT_EQ(chip().value(0x100901, first), 1u);
    EXPECT_EQ(chip().value(0x100901, second), 2u + 8u); // follows its pair
    EXPECT_EQ(chip().value(0x101702, first), 0u);       // 4 - 7, held at the line start
    EXPECT_EQ(chip().value(0x101B02, first), 42u);
    EXPECT_EQ(chip().value(0x114702, first), 43680u);
    EXPECT_EQ(chip().value(0x114401, first), 199u);
    EXPECT_EQ(chip().value(0x114901, first), 0x84u);
    EXPECT_EQ(chip().value(0x166603, first), 0x43210u);
    // The second half is written after the first half's output.
    const uint32_t firstBase = chip().value(0x161C04, first), secondBase = chip().value(0x161C04, second);
    EXPECT_EQ(firstBase, scaler->PS_MEM_SC[2][0]);
    EXPECT_EQ(secondBase, firstBase + 4 * 640);
    // No input channel: nothing written.
    scaler->win_ich[0][0] = -1;
    const uint64_t mark = chip().mark();
    scaler->set_display_window_ich(scaler->c331_fd, {0, 1920, 0, 1080}, {0, 1280, 0, 720}, 0);
    EXPECT_TRUE(chip().journal(mark).empty());
}

TEST_F(Geometry, OutputSideRegistersPerTile)
{
    scaler->PS_ACTHW = 1024;
    scaler->PS_ACTVW = 512;
    window0(2, 1);
    scaler->win_ich[0][0] = 5;
    for (int k = 0; k < 8; ++k) {
        scaler->PM_WIN_NUM[k] = 6;
        scaler->PM_AREA_NUM[k] = 8;
    }
    scaler->PM_WIN_NUM[3] = 0;
    scaler->PM_AREA_NUM[3] = 0;
    scaler->PM_WIN_NUM[6] = 0;
    scaler->PM_AREA_NUM[6] = 1;
    scaler->PM_WIN_VMIRROR[0] = 1;
    scaler->vmirror_ok[0] = 1;
    scaler->set_display_window_och(scaler->c331_fd, {0, 1800, 0, 512}, {100, 1800, 0, 512}, 0);
    const int hst = scaler->PS_ACTHST;
    EXPECT_EQ(chip().value(0x080802, 48), 0x511u);           // first: input channel 5
    EXPECT_EQ(chip().value(0x080802, 96), 0x1311u);          // then: follows channel 3
    EXPECT_EQ(chip().value(0x084002, 48), uint32_t(100 + hst));
    EXPECT_EQ(chip().value(0x084202, 48), 924u);
    EXPECT_EQ(chip().value(0x084002, 96), uint32_t(hst));
    EXPECT_EQ(chip().value(0x084202, 96), 876u);
    EXPECT_EQ(chip().value(0x084602, 96), 512u);
    EXPECT_EQ(chip().value(0x0A4601, 48), 199u);
    EXPECT_EQ(chip().value(0x163001, 48), 0x100u - 64u); // read upward
    // The second tile reads 924 pixels on.
    EXPECT_EQ(chip().value(0x160804, 96) - chip().value(0x160804, 48), uint32_t(4 * 924));
    // Without the vertical mirror allowed, read downward.
    scaler->vmirror_ok[0] = 0;
    scaler->set_display_window_och(scaler->c331_fd, {0, 1800, 0, 512}, {100, 1800, 0, 512}, 0);
    EXPECT_EQ(chip().value(0x163001, 48), 64u);
}

TEST_F(Geometry, OutputVsyncWaitEndsWithoutAClock)
{
    platform::setPauseScale(0);
    chip().setStuckBusy(true);
    const uint64_t mark = chip().mark();
    scaler->wait1_povs(scaler->c331_fd, 2);
    chip().setStuckBusy(false);
    EXPECT_EQ(chip().writes(0x050901, 0, mark), (std::vector<uint32_t>{4, 0}));
    EXPECT_EQ(chip().writes(0x002901, 0, mark), (std::vector<uint32_t>{0x80, 0}));
    const uint64_t after = chip().mark();
    scaler->wait1_povs(scaler->c331_fd, 8);
    EXPECT_TRUE(chip().journal(after).empty());
}
