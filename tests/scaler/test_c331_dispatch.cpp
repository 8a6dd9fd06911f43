// The dispatcher: which operations a change of each group of image bytes
// raises, in which order, and the per-turn upkeep.
#include "tests/scaler/scaler_fixture.h"

#include "video_io/zevlosource.h"

using namespace ram;

namespace {
using Ops = std::vector<std::string>;

class Dispatch : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        fpga = fpga_manage::pInstance();
        sources = zevlosource::pInstance(); // its thread is not started
        g_set_led_para = 0;
        bringUp();
        // The OSD work the default composition left pending.
        turn();
        turn();
        signals_.clear();
    }
    void TearDown() override
    {
        g_set_led_para = 0;
        ScalerTest::TearDown();
    }
    // One turn of a request; the operations of its pass.
    Ops pass()
    {
        ops.clear();
        turn();
        return passOps();
    }
    fpga_manage* fpga = nullptr;
    zevlosource* sources = nullptr;
};
} // namespace

TEST_F(Dispatch, ARequestWithoutChangeIsAnnouncedAndCleared)
{
    const uint64_t mark = chip().mark();
    write([] {}, 2);
    EXPECT_EQ(pass(), (Ops{"test_signal(2)"}));
    EXPECT_EQ(scaler->para_changed.load(), 0);
    EXPECT_EQ(signals_, (std::vector<int>{2}));
    EXPECT_TRUE(chip().journal(mark).empty());
    // Nothing pending: no pass at all.
    EXPECT_EQ(pass(), Ops{});
}

TEST_F(Dispatch, PictureControlsInTheirOrderAndTheBrightnessGoesToTheFpgas)
{
    write([&] {
        set16(kColourTempRed, 100);
        set16(kColourTempType, 0);
        set16(kSaturation, 60);
        set16(kContrast, 100);
        set16(kBrightness, 30);
    });
    EXPECT_EQ(pass(), (Ops{"c331_SetBrightness(50)", "brightness flag", "c331_SetContrast(100)",
                           "c331_SetSaturation(60)", "c331_SetColorTemp(0x64404000)", "test_signal(1)"}));
    EXPECT_EQ(fpga->bri_set_flag.load(), 1);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(chip().value(0x0C3A02, 16 * k), 0u);
        EXPECT_EQ(chip().value(0x0C2802, 16 * k), 1023u);
        EXPECT_EQ(chip().value(0x0C5B02, 16 * k), 6400u);
        EXPECT_EQ(chip().value(0x0C6302, 16 * k), 4096u);
    }
    // Sharpness and the priorities.
    save();
    write([&] {
        set16(kSharpness, 20);
        set16(kLayerPriority + 2 * 3, 5);
    });
    EXPECT_EQ(pass(), (Ops{"c331_SetSharpness(20)", "c331_SetWinPriority(3,5)", "c331_SetWinPriority1()",
                           "test_signal(1)"}));
}

TEST_F(Dispatch, ImageRecordsByFieldAndAGeometryChangeEndsTheCompare)
{
    auto rec = [](int w, int field) { return imageRecord(w) + field; };
    write([&] {
        set16(rec(1, kImgMirror), 3);
        set16(rec(2, kImgOutput), 0x0105);
        set16(rec(4, kImgDotMode), 6);
        set16(rec(5, kImgStored6), 9); // a field nobody acts on
    });
    EXPECT_EQ(pass(), (Ops{"c331_SetWinAttr(1,3)", "c331_SetWinOutput(2,0x0105)", "c331_SetWinDbdMode(4,6)",
                           "test_signal(1)"}));
    save();

    // x of window 2 and the attribute of window 4: only the relayout.
    write([&] {
        set16(rec(2, kImgX), 100);
        set16(rec(4, kImgMirror), 1);
    });
    EXPECT_EQ(pass(), (Ops{"vyxApi_initEnvC331()", "vyxApi_MultiWinChAlloc(1)", "vyxApi_MultiWinChInit()",
                           "set_output()", "test_signal(1)"}));
    // Not applied later either: the relayout took the image as it stands.
    save();
    write([] {});
    EXPECT_EQ(pass(), (Ops{"test_signal(1)"}));

    for (int field : {kImgEnable, kImgY, kImgWidth, kImgHeight}) {
        write([&] { set16(rec(0, field), uint16_t(le16(img + rec(0, field)) + 1)); });
        EXPECT_EQ(pass().front(), "vyxApi_initEnvC331()") << field;
        save();
    }
}

TEST_F(Dispatch, SourceChangesThroughCropsAndTheAudioRoute)
{
    auto rec = [](int w, int field) { return imageRecord(w) + field; };
    // Crop entry 7: source 3, rectangle 10, 20, 300, 400.
    write([&] {
        set16(cropEntry(7) + kCropId, 0x8203);
        set16(cropEntry(7) + kCropX, 10);
        set16(cropEntry(7) + kCropY, 20);
        set16(cropEntry(7) + kCropW, 300);
        set16(cropEntry(7) + kCropH, 400);
        set16(kAudioImage, 1);
        set16(rec(1, kImgSource), 0x8007);
    });
    EXPECT_EQ(pass(), (Ops{"c331_SetInputsourceCrop(1,0x8007)", "c331_SetCrop(1,1,10,20,300,400)",
                           "c331_SetInputsource(1,3)", "audio route flag", "audio route flag", "test_signal(1)"}));
    EXPECT_EQ(sources->audio_route_flag.load(), 1);
    save();

    // Leaving the crop for plain input 3: crop off, then the source. Not the
    // audio window any more: no flag.
    sources->audio_route_flag = 0;
    write([&] {
        set16(kAudioImage, 0);
        set16(rec(0, kImgAudio), le16(img + rec(0, kImgAudio))); // unchanged
    });
    pass();
    save();
    sources->audio_route_flag = 0;
    write([&] { set16(rec(1, kImgSource), 3); });
    EXPECT_EQ(pass(), (Ops{"c331_SetCrop(1,0,0,0,1920,1080)", "c331_SetInputsource(1,3)", "test_signal(1)"}));
    EXPECT_EQ(sources->audio_route_flag.load(), 0);
    save();

    // The sound bit of window 5.
    write([&] { set16(rec(5, kImgAudio), 0x8000); });
    EXPECT_EQ(pass(), (Ops{"audio route flag", "test_signal(1)"}));
}

TEST_F(Dispatch, ACropWordNamingNoEntryInUseIsAppliedAsTheWholeDviInput)
{
    auto source = [](int w) { return imageRecord(w) + kImgSource; };
    auto putEntry = [&](int e, uint16_t id) {
        set16(cropEntry(e) + kCropId, id);
        set16(cropEntry(e) + kCropW, 300);
        set16(cropEntry(e) + kCropH, 400);
    };
    write([&] {
        putEntry(7, 0x8203); // source 3
        set16(source(1), 0x8007);
    });
    pass();
    save();

    // A PC frees the entry, the word left as it is: the crop goes, DVI comes.
    write([&] { set16(cropEntry(7) + kCropId, 0x0203); });
    EXPECT_EQ(pass(), (Ops{"c331_SetCrop(1,0,0,0,1920,1080)", "c331_SetInputsource(1,0)", "test_signal(1)"}));
    save();
    // Words naming a free entry, or one past the table: DVI, nothing read past it.
    for (uint16_t word : {uint16_t(0x8005), uint16_t(0x8028), uint16_t(0x80FF)}) {
        write([&] { set16(source(1), word); });
        EXPECT_EQ(pass(), (Ops{"c331_SetInputsource(1,0)", "test_signal(1)"})) << word;
        save();
    }
    // A crop of source 1 taking free entry 5 while a word names it.
    write([&] { set16(source(1), 0x8005); });
    pass();
    save();
    write([&] { putEntry(5, 0x8001); });
    EXPECT_EQ(pass(), (Ops{"c331_SetInputsourceCrop(1,0x8005)", "c331_SetCrop(1,1,0,0,300,400)",
                           "c331_SetInputsource(1,1)", "test_signal(1)"}));
    save();

    // The panel's delete: the whole source of the crop in the same request,
    // never DVI on the way.
    store->VyxCropSourceInit();
    store->VyxDeleteCrop(1, 1);
    EXPECT_EQ(le16(img + source(1)), 1);
    EXPECT_EQ(pass(), (Ops{"c331_SetCrop(1,0,0,0,1920,1080)", "c331_SetInputsource(1,1)", "test_signal(1)"}));
}

// The crop screen's OK on a crop an image shows changes its rectangle
// alone: the window shows the new rectangle at once, and a crop no image
// shows costs the chip nothing.
TEST_F(Dispatch, AnEditedRectangleOfACropShownIsAppliedAtOnce)
{
    write([&] {
        set16(cropEntry(4) + kCropId, 0x8002); // crop 1 of source 2
        set16(cropEntry(4) + kCropW, 640);
        set16(cropEntry(4) + kCropH, 360);
        set16(cropEntry(6) + kCropId, 0x8102); // crop 2 of source 2
        set16(imageRecord(2) + kImgSource, 0x8004);
    });
    pass();
    save();

    CROP_PARA moved{2, 100, 50, 800, 450};
    store->VyxCropSourceInit();
    store->VyxSetCropPara(2, 1, &moved);
    EXPECT_EQ(pass(), (Ops{"c331_SetInputsourceCrop(2,0x8004)", "c331_SetCrop(2,1,100,50,800,450)",
                           "c331_SetInputsource(2,2)", "test_signal(1)"}));
    save();
    store->VyxSetCropPara(2, 2, &moved);
    EXPECT_EQ(pass(), (Ops{"test_signal(1)"}));
}

TEST_F(Dispatch, EveryQualifyingEdidRequestIsServed)
{
    edid_ram_table_from[0] = 1;
    write([&] { set16(edidRequest(2), 1280); });
    EXPECT_EQ(pass(), (Ops{"edid refresh 0", "edid refresh 2", "test_signal(1)"}));
    EXPECT_EQ(sources->edid_refresh_flag(0), 1);
    EXPECT_EQ(sources->edid_refresh_flag(2), 1);
    EXPECT_EQ(sources->edid_hold_flag(2), 0);
    save();
    // The stored table keeps its input flagged on every pass.
    write([] {});
    EXPECT_EQ(pass(), (Ops{"edid refresh 0", "test_signal(1)"}));
    // Inputs 4 and 5 have no EDID upkeep.
    edid_ram_table_from[0] = 0;
    write([&] { set16(edidRequest(4), 1280); });
    EXPECT_EQ(pass(), (Ops{"test_signal(1)"}));
}

TEST_F(Dispatch, FadesPatternScreenOffAndOsd)
{
    write([&] {
        set16(kFadeIn + 4 * 2, 30);
        set16(kFadeOut + 4 * 5, 90);
        img[kTestPattern] = 3;
        set16(kLedOff, 1);
        set16(kOsdOn, 1);
    });
    EXPECT_EQ(pass(), (Ops{"c331_SetPattern(3)", "output status flag", "vyxApi_OsdSet(0,1)", "test_signal(1)",
                           "get_json_omenu_para()", "set_OSD_para()"}));
    EXPECT_EQ(scaler->PM_WIN_FADE_IN[2], 30);
    EXPECT_EQ(scaler->PM_WIN_FADE_OUT[5], 90);
    EXPECT_EQ(fpga->output_status_flag.load(), 1);
    save();
    // OSD off: told to the chip, no menu read.
    write([&] { set16(kOsdOn, 0); });
    EXPECT_EQ(pass(), (Ops{"vyxApi_OsdSet(0,0)", "test_signal(1)"}));
}

TEST_F(Dispatch, NewLedSizeReinitialisesThePanelOnceAndHandsOverToTheFpgas)
{
    change16(kOsdOn, 1);
    pass();
    save();
    write([&] {
        set16(kLedHeight, 720);
        set16(kLedWidth, 1280);
    });
    // The windows it reloaded are programmed onto the new channels.
    EXPECT_EQ(pass(), (Ops{"vyxApi_PnlInit2(1280,720,1920,1080,0)", "set_output()", "test_signal(1)",
                           "get_json_omenu_para()", "set_OSD_para()"}));
    EXPECT_EQ(g_set_led_para.load(), 2);
    EXPECT_EQ(le16(img + kOutChannelHeight), 720);
    // With a window change in the same pass the relayout runs once.
    save();
    write([&] {
        set16(kLedWidth, 1920);
        set16(imageRecord(0) + kImgWidth, 1000);
    });
    const Ops both = pass();
    EXPECT_EQ(std::count(both.begin(), both.end(), "set_output()"), 1);
}

TEST_F(Dispatch, SecondRequestBeforeTheSaveSendsOnlyItsOwnChange)
{
    // The save of the first request not yet made: the second sends nothing
    // for the first's change again.
    change16(kContrast, 80);
    EXPECT_EQ(pass(), (Ops{"c331_SetContrast(80)", "test_signal(1)"}));
    const uint64_t mark = chip().mark();
    write([] {});
    EXPECT_EQ(pass(), (Ops{"test_signal(1)"}));
    EXPECT_TRUE(chip().journal(mark).empty());
    change16(kSharpness, 20);
    EXPECT_EQ(pass(), (Ops{"c331_SetSharpness(20)", "test_signal(1)"}));
    save(); // the change signal reached the store: the snapshot is taken
    write([] {});
    EXPECT_EQ(pass(), (Ops{"test_signal(1)"}));
}

TEST_F(Dispatch, AChangeTakenIntoTheSnapshotBeforeItsPassStillReachesTheChip)
{
    // A PC writes the image (no request yet); another change signal saves
    // it before the PC asks for the apply.
    set16(kContrast, 70);
    save();
    write([] {}, 2);
    EXPECT_EQ(pass(), (Ops{"c331_SetContrast(70)", "test_signal(2)"}));
    EXPECT_EQ(chip().value(0x0C2802), 70u * 1023 / 100);
}

TEST_F(Dispatch, DebugRegistersLowestCommandOnly)
{
    uint8_t* r = store->local_reg;
    r[34] = 0x41;
    r[35] = 15;
    r[36] = 3;
    r[33] = 0x10;
    write([] {});
    EXPECT_EQ(pass(), (Ops{"test_signal(1)", "input_slidebar()", "vyxDbg_c331_param(14)",
                           "vyxDbg_c331_print_regGrp(0)"}));
    EXPECT_EQ((std::vector<int>{r[33], r[34], r[35], r[36]}), (std::vector<int>{0x10, 0, 0, 0}));
    r[33] = 0x16;
    r[34] = 0x06;
    write([] {});
    EXPECT_EQ(pass(), (Ops{"test_signal(1)", "output_slidebar()", "sync_c331_device_test_frame_lock()"}));
    EXPECT_EQ(r[33], 0);
    // Read only inside a pass.
    r[34] = 0x80;
    EXPECT_EQ(pass(), Ops{});
    EXPECT_EQ(r[34], 0x80);
}

TEST_F(Dispatch, UpkeepRelayoutsEveryWindowOfAChangedInput)
{
    const int32_t inputs[6] = {2, 6, 6, 2, 5, 6};
    std::copy(inputs, inputs + 6, scaler->PM_INPUT);
    scaler->PI_UPDATE[2] = 1;
    scaler->g_chg_hdmi[5] = 1;
    scaler->osd_set_pending = 1;
    scaler->osd_update_pending = 1;
    ops.clear();
    turn();
    EXPECT_EQ(ops, (Ops{"load_hdmi()", "check_port_valid()", "update_osd()", "check_input_port()",
                        "set_output() for input 2", "set_output() for input 2", "set_output() for input 5"}));
    EXPECT_EQ(scaler->g_chg_input[3], 0); // consumed by its relayout
    EXPECT_EQ(scaler->PI_UPDATE[2], 0);
    EXPECT_EQ(scaler->g_chg_hdmi[5], 0);
    EXPECT_EQ(g_c331_source_online.load(), 1);
    // The set request waited its turn.
    ops.clear();
    turn();
    EXPECT_EQ(ops, (Ops{"load_hdmi()", "check_port_valid()", "set_osd(1)", "set_scroll()", "check_input_port()"}));

    // A test pattern stops the upkeep; the input change waits for its end.
    scaler->pattern_active = 1;
    scaler->PI_UPDATE[2] = 1;
    ops.clear();
    turn();
    EXPECT_EQ(ops, Ops{});
    scaler->pattern_active = 0;
    turn();
    EXPECT_EQ(count("set_output() for input 2"), 2);
}

TEST_F(Dispatch, TimingRecordsAreTakenWhenStableAndMarkTheirWindows)
{
    for (int32_t& mark : scaler->g_chg_input)
        mark = 0;
    scaler->PM_INPUT[1] = 2; // source 0 enters port 2
    scaler->PM_INPUT[2] = 1;
    scaler->PM_WIN_DBD_MODE[5] = DBD_CMOS_IN34; // ports 2 and 3
    HDMI_INFO rec{};
    rec.Hact = 1920;
    rec.Htotal = 2200;
    rec.Vact = 1080;
    rec.pfreq = 148.5f;
    rec.stable = 0;
    sources->write_hdminfo(0, rec);
    {
        QMutexLocker lock(&Utils::_source_hdminfo_mutex);
        sources->hdminfo[0].stable = 0; // still being filled in
    }
    scaler->load_hdmi();
    EXPECT_EQ(scaler->PI_HDMI_INFO[2].Hact, 0);
    EXPECT_EQ(scaler->g_chg_input[1], 0);

    sources->write_hdminfo(0, rec);
    scaler->load_hdmi();
    EXPECT_EQ(scaler->PI_HDMI_INFO[2].Hact, 1920);
    EXPECT_FLOAT_EQ(scaler->PI_HDMI_INFO[2].pfreq, 148.5f);
    EXPECT_EQ(scaler->PI_HDMI_INFO[2].nosignal, 0);
    EXPECT_EQ(scaler->g_chg_input[1], 1);
    EXPECT_EQ(scaler->g_chg_input[2], 0);
    EXPECT_EQ(scaler->g_chg_input[5], 1);
    // The same record again changes nothing.
    scaler->g_chg_input[1] = scaler->g_chg_input[5] = 0;
    scaler->load_hdmi();
    EXPECT_EQ(scaler->g_chg_input[1], 0);
}

TEST_F(Dispatch, ARequestRaisedDuringBringUpIsServedByTheFirstDispatcherTurn)
{
    store->local_reg[34] = 0x40; // back to the identity polls
    write([] {});
    turn();
    ASSERT_EQ(scaler->setup_stage.load(), 0);
    for (int i = 0; i < 6; ++i)
        scaler->runTurn();
    ASSERT_EQ(scaler->setup_stage.load(), 6);
    change16(kContrast, 90);
    scaler->runTurn();
    scaler->runTurn();
    ASSERT_EQ(scaler->setup_stage.load(), 8);
    EXPECT_EQ(scaler->para_changed.load(), 1); // waited through stages 6 and 7
    ops.clear();
    scaler->runTurn();
    EXPECT_EQ(passOps(), (Ops{"c331_SetContrast(90)", "test_signal(1)"}));
    EXPECT_EQ(scaler->para_changed.load(), 0);
}
