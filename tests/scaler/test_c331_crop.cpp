// Input crops: the margins a crop rectangle cuts from a port's picture,
// their clamping, their upkeep when the source changes, and crop entries
// that the table does not have.
#include "tests/scaler/input_fixture.h"

using namespace ram;

namespace {
class Crops : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        noWindows();
        placeWindow(0, 0, 2);
        scaler->pwinfo[0].input = 0; // source 0, port 2
        describe(0, progressive(1920, 1080, 60));
    }
    void describe(int source, const VideoTiming& t, int lanes = 2)
    {
        plug(source, t, lanes);
        scaler->load_hdmi();
        scaler->check_input_port(fd);
        for (int32_t& m : scaler->g_chg_input)
            m = 0;
    }
    std::vector<int32_t> margins(int w) const
    {
        return std::vector<int32_t>(scaler->PM_INPUT_OFFSET[w], scaler->PM_INPUT_OFFSET[w] + 4);
    }
    void setEntry(int e, uint16_t id, ST_RECT r)
    {
        set16(cropEntry(e) + kCropId, id);
        set16(cropEntry(e) + kCropX, uint16_t(r.x));
        set16(cropEntry(e) + kCropY, uint16_t(r.y));
        set16(cropEntry(e) + kCropW, uint16_t(r.w));
        set16(cropEntry(e) + kCropH, uint16_t(r.h));
    }
};
} // namespace

TEST_F(Crops, MarginsClampingAndLeaving)
{
    ST_RECT r{100, 50, 800, 600};
    scaler->c331_SetCrop(0, 1, &r);
    EXPECT_EQ(scaler->PM_INPUT_OFFSET_EN[0], 1);
    EXPECT_EQ(margins(0), (std::vector<int32_t>{100, 1020, 50, 430}));

    // Past the right edge: the whole width instead (the height as asked).
    r = ST_RECT{1500, 0, 800, 1080};
    scaler->c331_SetCrop(0, 1, &r);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.w, 1920);
    EXPECT_EQ(margins(0), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(scaler->PM_INPUT_OFFSET_EN[0], 1);

    // Leaving the crop: no margins, not cropped.
    r = ST_RECT{100, 50, 800, 600};
    scaler->c331_SetCrop(0, 1, &r);
    scaler->c331_SetCrop(0, 0, &r);
    EXPECT_EQ(scaler->PM_INPUT_OFFSET_EN[0], 0);
    EXPECT_EQ(margins(0), (std::vector<int32_t>{0, 0, 0, 0}));

    // A window that is not there, a side that is not one: nothing.
    scaler->c331_SetCrop(6, 1, &r);
    EXPECT_EQ(scaler->vyxApi_CropGetOffset(2, &r, 4), 0);
    // No signal: the rectangle's own position, nothing beyond it.
    EXPECT_EQ(scaler->vyxApi_CropGetOffset(3, &r, 0), 100);
    EXPECT_EQ(scaler->vyxApi_CropGetOffset(3, &r, 1), 0);
    EXPECT_EQ(scaler->vyxApi_CropGetOffset(255, &r, 2), 50);
}

TEST_F(Crops, VByOneHalvesAndInterlacedFieldsCountTheWholePicture)
{
    placeWindow(1, 1, 5);
    scaler->pwinfo[1].input = 3;
    describe(3, progressive(3840, 2160, 60), 8);
    ASSERT_EQ(scaler->PI_STATE[5], 1);
    ASSERT_EQ(scaler->PI_ACT[5].hw, 1920);
    ST_RECT r{0, 0, 1920, 2160};
    scaler->c331_SetCrop(1, 1, &r);
    EXPECT_EQ(margins(1), (std::vector<int32_t>{0, 1920, 0, 0}));

    // 576 lines of two 288-line fields: the lower half can be cropped.
    describe(0, interlaced(720, 576, 50));
    r = ST_RECT{0, 300, 720, 276};
    scaler->c331_SetCrop(0, 1, &r);
    EXPECT_EQ(margins(0), (std::vector<int32_t>{0, 0, 300, 0}));
    scaler->calc_iwin2(0);
    EXPECT_EQ(scaler->IWIN[0].vst, 300);
    EXPECT_EQ(scaler->IWIN[0].vw, 276);
}

TEST_F(Crops, MarginsFollowTheSourceFromTheLiveTable)
{
    write([&] { setEntry(5, 0x8000, ST_RECT{100, 50, 800, 600}); });
    scaler->c331_SetInputsourceCrop(0, 0x8005);
    EXPECT_EQ(scaler->pwinfo[0].crop, 5);
    EXPECT_EQ(scaler->pwinfo[0].input, 0);
    ST_RECT r{100, 50, 800, 600};
    scaler->c331_SetCrop(0, 1, &r);
    // The source goes to 1280 x 720: the same rectangle, new margins.
    describe(0, progressive(1280, 720, 60));
    EXPECT_EQ(margins(0), (std::vector<int32_t>{100, 380, 50, 70}));
    // Now reaching past the picture: margins held at 0, the rectangle not
    // replaced.
    write([&] { setEntry(5, 0x8000, ST_RECT{600, 0, 1000, 800}); });
    scaler->vyxApi_updateCrop(2);
    EXPECT_EQ(margins(0), (std::vector<int32_t>{600, 0, 0, 0}));
    // A window not cropped is left alone.
    scaler->PM_INPUT_OFFSET_EN[0] = 0;
    scaler->PM_INPUT_OFFSET[0][0] = 7;
    scaler->vyxApi_updateCrop(2);
    EXPECT_EQ(scaler->PM_INPUT_OFFSET[0][0], 7);
}

TEST_F(Crops, EntriesOutsideTheTableAreRefused)
{
    scaler->pwinfo[0].crop = 2;
    scaler->c331_SetInputsourceCrop(0, 0x8028); // entry 40: past the table
    EXPECT_EQ(scaler->pwinfo[0].crop, 2);
    EXPECT_EQ(scaler->pwinfo[0].input, 0);

    // A PC naming entry 40 or 255 reads nothing past the table: the window
    // shows the whole DVI input.
    scaler->win_loaded[1] = 1;
    turn(); // the OSD work bring-up left
    turn();
    for (uint16_t word : {uint16_t(0x8028), uint16_t(0x80FF)}) {
        write([&] { set16(imageRecord(1) + kImgSource, word); });
        ops.clear();
        turn();
        EXPECT_EQ(passOps(), (std::vector<std::string>{"c331_SetInputsource(1,0)", "test_signal(1)"})) << word;
        save();
    }
    // Entry 39 is the last one.
    write([&] {
        setEntry(39, 0x8001, ST_RECT{0, 0, 640, 480});
        set16(imageRecord(1) + kImgSource, 0x8027);
    });
    ops.clear();
    turn();
    EXPECT_EQ(passOps(), (std::vector<std::string>{"c331_SetInputsourceCrop(1,0x8027)", "c331_SetCrop(1,1,0,0,640,480)",
                                                   "c331_SetInputsource(1,1)", "test_signal(1)"}));
}
