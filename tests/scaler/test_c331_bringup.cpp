// Bring-up: identity polls, the stages, the initial settings and the tables
// they load.
#include "tests/scaler/scaler_fixture.h"

#include "scaler/omenu.h"

using namespace ram;

namespace {
using Ops = std::vector<std::string>;
class BringUp : public ScalerTest {};
} // namespace

TEST_F(BringUp, DefaultImageReachesStageEightWithPanelAndPictureSet)
{
    for (int turn = 0; turn < 5; ++turn) {
        EXPECT_EQ(scaler->setup_stage.load(), turn);
        scaler->runTurn();
    }
    scaler->runTurn();
    EXPECT_EQ(scaler->setup_stage.load(), 6);
    EXPECT_EQ(ops, (Ops{"load_system_param()", "define_param()", "init_reg_acc_param()", "write_initial_setting(1)",
                        "set_rtct(1)", "load_param()", "check_input_port()", "load_char()", "read_c331_font()",
                        "update_font()"}));
    ops.clear();
    scaler->runTurn();
    scaler->runTurn();
    EXPECT_EQ(scaler->setup_stage.load(), 8);
    EXPECT_EQ(ops, (Ops{"vyxApi_PnlInit2(1920,1080,1920,1080,0)", "set_output()", "c331_SetBrightness(50)",
                        "c331_SetContrast(50)", "c331_SetSharpness(10)", "c331_SetColorTemp(0x40404002)",
                        "c331_SetSaturation(50)", "vyxApi_forceColorDisable()"}));

    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(chip().value(0x0C3A02, 16 * k), 0u);     // brightness neutral
        EXPECT_EQ(chip().value(0x0C2802, 16 * k), 511u);   // contrast 50
        EXPECT_EQ(chip().value(0x0C1B02, 16 * k), 511u);   // saturation 50
        EXPECT_EQ(chip().value(0x0C5B02, 16 * k), 8192u);  // colour temperature type 2
        EXPECT_EQ(chip().value(0x0C6302, 16 * k), 8192u);
        EXPECT_EQ(chip().value(0x0C6B02, 16 * k), 8192u);
        EXPECT_EQ(chip().lastWrite(0x084903, 16 * k), 0u); // forced colour off
    }
    EXPECT_EQ(le16(img + kOutChannelsAcross), 1);
    EXPECT_EQ(le16(img + kOutChannelsDown), 1);
    EXPECT_EQ(le16(img + kOutChannelWidth), 1920);
    EXPECT_EQ(le16(img + kOutChannelHeight), 1080);
    EXPECT_EQ(g_fpga_c331_start.load(), 1);
    EXPECT_EQ(g_force_bkcolor.load(), 2);
    // The OSD is off in the default image: no menu is read.
    EXPECT_FALSE(called("get_json_omenu_para()"));
    EXPECT_TRUE(platform::simSpiBus().busErrors().empty());
}

TEST_F(BringUp, IdentityPollsNeedFiveAnswersAndWriteNothingWithoutAChip)
{
    chip().setIdentityEveryOther(true);
    int turns = 0;
    while (scaler->setup_stage < 5 && turns < 10)
        scaler->runTurn(), ++turns;
    EXPECT_EQ(scaler->setup_stage.load(), 5);

    destroySingletonsForTest();
    platform::simSpiBus().reset();
    store = VyxRamPara::pInstance();
    scaler = c331_manage::createForTest();
    chip().setAbsent(true);
    platform::simSpiBus().clearJournal();
    for (int turn = 0; turn < 50; ++turn)
        scaler->runTurn();
    EXPECT_EQ(scaler->setup_stage.load(), 0);
    // Identity reads and the one bank select before them, nothing else.
    for (const auto& e : platform::simSpiBus().transfers(platform::SimScalerChip::kNode)) {
        const bool select = e.tx == std::vector<uint8_t>{0x80, 0xB2};
        const bool identity = e.tx == std::vector<uint8_t>{0x08, 0xFF};
        EXPECT_TRUE(select || identity);
    }
}

TEST_F(BringUp, InitialSettingsFromTheSystemBlock)
{
    scaler->load_system_param();
    scaler->define_param();
    EXPECT_EQ(scaler->PS_PANEL_HW, 7680);
    EXPECT_EQ(scaler->PS_PANEL_VW, 2160);
    EXPECT_EQ(scaler->PS_PANEL_HSHAPE, 4);
    EXPECT_EQ(scaler->PS_PANEL_VSHAPE, 1);
    EXPECT_EQ(scaler->PS_REF_CLK, 200000000);

    const uint64_t mark = chip().mark();
    scaler->write_initial_setting(scaler->c331_fd, 1);
    EXPECT_EQ(chip().writes(0x007901, 0, mark), (std::vector<uint32_t>{0x2E}));
    EXPECT_EQ(chip().writes(0x007A01, 0, mark),
              (std::vector<uint32_t>{0x80, 0x81, 0x84, 0x85, 0x88, 0x89, 0x8C, 0x8D, 0x90, 0x91, 0x94, 0x95, 0x98,
                                     0x99, 0x9C, 0x9D}));
    EXPECT_EQ(chip().value(0x042B02), 0xF000u);
    EXPECT_EQ(chip().value(0x063804), 0x07070707u);
    EXPECT_EQ(chip().value(0x034401), 43u); // 88 / 2 - 1
    EXPECT_EQ(chip().value(0x004B01), 22u); // multiplier of the rate class
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(chip().value(0x080A02, 16 * k), 2198u);
        EXPECT_EQ(chip().value(0x080C02, 16 * k), 2248u);
        EXPECT_EQ(chip().value(0x084002, 16 * k), 176u);
        EXPECT_EQ(chip().value(0x084402, 16 * k), 82u);
        EXPECT_EQ(chip().value(0x084602, 16 * k), 2161u);
        EXPECT_EQ(chip().value(0x166603, 16 * k), 0x43210u);
    }
    EXPECT_EQ(chip().value(0x175B04, 48), 0x6B913800u); // deinterlacer 3
    EXPECT_EQ(chip().writes(0x175B04, 64, mark).size(), 0u); // only four have one
    EXPECT_EQ(chip().value(0x661C04), 0x9E00u);               // channel 6 shares channel 5's plane
    EXPECT_EQ(chip().value(0x862804), 0xBE00u + 0x19800000u); // channel 8, fourth field
    // Rate class 148 MHz: the class byte into both receivers, the second
    // then overwritten with the mode value.
    EXPECT_EQ(chip().writes(0x021801, 0, mark), (std::vector<uint32_t>{0x4C}));
    EXPECT_EQ(chip().writes(0x027801, 0, mark), (std::vector<uint32_t>{0x4C, 9}));
    EXPECT_EQ(chip().value(0x010904), 0x22222222u);
    EXPECT_EQ(chip().value(0x016D03), 0x6DB6DBu);
    EXPECT_EQ(chip().value(0x036204), 0x73625140u); // transmitter mode 0 port order

    // Without the clocks: no clock generator, transmitter or receivers.
    const uint64_t again = chip().mark();
    scaler->write_initial_setting(scaler->c331_fd, 0);
    for (const auto& w : chip().journal(again)) {
        EXPECT_NE(w.bank, 0xFF);
        EXPECT_NE(w.bank, 0x01);
        EXPECT_NE(w.bank, 0x02);
    }
    EXPECT_GT(chip().journal(again).size(), 1000u);
}

TEST_F(BringUp, PanelShapeFollowsTransmitterModeAndLayout)
{
    scaler->load_system_param();
    const struct {
        int mode, layout, hw, vw, across, down;
    } cases[] = {{0, 0, 7680, 2160, 4, 1}, {0, 1, 3840, 4320, 2, 2}, {2, 0, 3840, 2160, 2, 1},
                 {2, 1, 1920, 4320, 1, 2}, {1, 0, 15360, 2160, 8, 1}, {3, 1, 7680, 4320, 4, 2}};
    for (const auto& c : cases) {
        scaler->PS_VBOTX_MODE = c.mode;
        scaler->PS_VBOTX_LAYOUT = c.layout;
        scaler->define_param();
        EXPECT_EQ(scaler->PS_PANEL_HW, c.hw) << c.mode << "/" << c.layout;
        EXPECT_EQ(scaler->PS_PANEL_VW, c.vw);
        EXPECT_EQ(scaler->PS_PANEL_HSHAPE, c.across);
        EXPECT_EQ(scaler->PS_PANEL_VSHAPE, c.down);
    }
}

TEST_F(BringUp, RegisterUpdateTimingIsFramedByTheOpenBit)
{
    const uint64_t mark = chip().mark();
    chip().set(0x002901, 0x80);
    scaler->set_rtct(scaler->c331_fd, 2);
    scaler->set_rtct(scaler->c331_fd, 1);
    const uint8_t normal[7] = {0x99, 0x99, 0x21, 0x43, 0x55, 0x77, 0x99};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(chip().value(0x002201 + (uint32_t(i) << 8)), normal[i]);
        EXPECT_EQ(chip().writes(0x002201 + (uint32_t(i) << 8), 0, mark).front(), 0xFFu);
    }
    // Opened and closed around each table, other bits kept.
    EXPECT_EQ(chip().writes(0x002901, 0, mark), (std::vector<uint32_t>{0x81, 0x80, 0x81, 0x80}));
    scaler->set_rtct(scaler->c331_fd, 7);
    EXPECT_EQ(chip().value(0x002401), 0xFFu);
    EXPECT_EQ(chip().value(0x002201), 0x99u);
}

TEST_F(BringUp, DefaultCompositionMarksOnlyWhatChanged)
{
    scaler->load_param();
    EXPECT_EQ(scaler->PM_INPUT[1], 5);
    EXPECT_EQ(scaler->PM_WIN_OFFSET[3][2], 1080);
    EXPECT_EQ(scaler->PM_OVERLAY[7], 4);
    EXPECT_EQ(scaler->PM_WIN_FADE_IN[5], 60);
    // Windows 0..4 changed input (window 5's input 0 did not).
    EXPECT_EQ(std::vector<int>(scaler->g_chg_input, scaler->g_chg_input + 6), (std::vector<int>{1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(scaler->g_chg_all, 1);
    EXPECT_EQ(scaler->osd_set_pending.load(), 1);    // scroll mode 0 -> 2
    EXPECT_EQ(scaler->osd_update_pending.load(), 1); // data mode 0 -> 1

    scaler->osd_set_pending = scaler->osd_update_pending = 0;
    scaler->g_chg_all = 0;
    scaler->load_param();
    for (int w = 0; w < 6; ++w) {
        EXPECT_EQ(scaler->g_chg_input[w], 0);
        EXPECT_EQ(scaler->g_chg_win[w], 0);
    }
    EXPECT_EQ(scaler->g_chg_all, 0);
    EXPECT_EQ(scaler->osd_set_pending.load(), 0);
    EXPECT_EQ(scaler->osd_update_pending.load(), 0);
    EXPECT_EQ(scaler->stitch_grp[4], 4);
}

TEST_F(BringUp, OsdIsSwitchedOnOnlyWhenTheImageSaysOne)
{
    for (uint16_t osd : {2, 1}) {
        SCOPED_TRACE(osd);
        destroySingletonsForTest();
        platform::simSpiBus().reset();
        store = VyxRamPara::pInstance();
        img = store->ram_para;
        set16(kOsdOn, osd);
        scaler = c331_manage::createForTest();
        ops.clear();
        c331_manage::op_hook = [this](const std::string& op) { ops.push_back(op); };
        for (int turn = 0; turn < 8; ++turn)
            scaler->runTurn();
        ASSERT_EQ(scaler->setup_stage.load(), 8);
        const auto at = std::find(ops.begin(), ops.end(), "vyxApi_OsdSet(0,1)");
        if (osd == 2) {
            EXPECT_EQ(at, ops.end());
            EXPECT_FALSE(called("get_json_omenu_para()"));
        } else {
            ASSERT_NE(at, ops.end());
            EXPECT_EQ(Ops(at, ops.end()), (Ops{"vyxApi_OsdSet(0,1)", "get_json_omenu_para()", "set_OSD_para()"}));
        }
    }
}

TEST_F(BringUp, ForcedGreenFromStageSixUntilStageSeven)
{
    g_force_bkcolor = 1;
    for (int turn = 0; turn < 7; ++turn)
        scaler->runTurn();
    ASSERT_EQ(scaler->setup_stage.load(), 7);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(chip().value(0x084E03, 16 * k), 0x00FF00u);
        EXPECT_EQ(chip().value(0x084D01, 16 * k), 1u);
    }
    scaler->runTurn();
    EXPECT_EQ(g_force_bkcolor.load(), 2);
    // What stage six forced is cleared, on every channel.
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(chip().value(0x084903, 16 * k), 0u);
        EXPECT_EQ(chip().value(0x084E03, 16 * k), 0u);
        EXPECT_EQ(chip().value(0x084D01, 16 * k), 0u);
    }
}

TEST_F(BringUp, DebugRegisterRestartsTheWholeBringUp)
{
    bringUp();
    store->local_reg[34] = 0x40;
    write([] {});
    turn();
    EXPECT_EQ(store->local_reg[34], 0);
    EXPECT_EQ(scaler->setup_stage.load(), 0);
    ops.clear();
    for (int i = 0; i < 8; ++i)
        scaler->runTurn();
    EXPECT_EQ(scaler->setup_stage.load(), 8);
    EXPECT_EQ(count("init_reg_acc_param()"), 1);
    EXPECT_EQ(count("update_font()"), 1);
    EXPECT_EQ(count("vyxApi_PnlInit2(1920,1080,1920,1080,0)"), 1);
}
