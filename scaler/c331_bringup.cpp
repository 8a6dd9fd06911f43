// Bring-up of the scaler chip: identity polls, then the initial settings,
// panel, picture and OSD in three stages; the system parameter block and
// the default window composition it loads.
#include "scaler/c331_manage.h"

#include <cstring>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "scaler/c331_tables.h"
#include "scaler/omenu.h"

using namespace c331tables;

namespace {
constexpr unsigned kIdentityCode = 0xB20801;
constexpr unsigned kIdentity = 0x24;
constexpr int kStageDispatch = 8;

uint16_t imageWord(int offset)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store ? le16(store->ram_para + offset) : 0;
}
} // namespace

void c331_manage::runTurn()
{
    const uint8_t stage = setup_stage.load();
    if (stage <= 4)
        stageIdentity();
    else if (stage == 5)
        stage5();
    else if (stage == 6)
        stage6();
    else if (stage == 7)
        stage7();
    else
        c331managerdeal(this);
    ++turn_count;
}

void c331_manage::stageIdentity()
{
    unsigned id = p_c331_drv->read_C331(c331_fd, kIdentityCode, 0);
    if (id == kIdentity) {
        setup_stage = uint8_t(setup_stage.load() + 1);
        VYX_DEBUG("\n ok c331_id = 0x24x \n");
    } else {
        VYX_DEBUG("\n error c331_id = %02x \n", id);
    }
}

void c331_manage::stage5()
{
    const int fd = c331_fd;
    traceOp("load_system_param()");
    load_system_param();
    traceOp("define_param()");
    define_param();
    traceOp("init_reg_acc_param()");
    p_c331_drv->init_reg_acc_param();
    traceOp("write_initial_setting(1)");
    write_initial_setting(fd, 1);
    traceOp("set_rtct(1)");
    set_rtct(fd, 1);
    traceOp("load_param()");
    load_param();
    traceOp("check_input_port()");
    check_input_port(fd);
    traceOp("load_char()");
    load_char();
    {
        // No flash operation of another thread between reading the font
        // headers and copying the fonts.
        std::lock_guard<std::recursive_mutex> flash(flash_mutex);
        traceOp("read_c331_font()");
        read_c331_font(fd);
        traceOp("update_font()");
        update_font(fd);
    }
    setup_stage = 6;
    VYX_DEBUG("\n ok c331_id  setup= %d \n", 6);
}

void c331_manage::stage6()
{
    const int fd = c331_fd;
    if (g_force_bkcolor == 1) {
        for (int k = 0; k < kOutChannels; ++k) {
            p_c331_drv->write_C331(fd, 0x084E03, 0x00FF00, 16 * k);
            p_c331_drv->write_C331(fd, 0x084D01, 1, 16 * k);
        }
    }
    int ledW = imageWord(ram::kLedWidth), ledH = imageWord(ram::kLedHeight);
    int out1w = imageWord(ram::kOutput1 + 4), out1h = imageWord(ram::kOutput1 + 6);
    int splice = imageWord(ram::kSpliceMode);
    traceOp("vyxApi_PnlInit2(%d,%d,%d,%d,%d)", ledW, ledH, out1w, out1h, splice);
    // It writes the output layout into the image, which the GUI thread
    // copies for the parameter file under this mutex.
    pthread_mutex_lock(&para_mutex);
    vyxApi_PnlInit2(ledW, ledH, out1w, out1h, splice);
    pthread_mutex_unlock(&para_mutex);
    traceOp("set_output()");
    set_output(fd);
    setup_stage = 7;
    g_fpga_c331_start = 1;
    VYX_DEBUG("\n ok c331_id  setup= %d \n", 7);
}

void c331_manage::stage7()
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    const uint8_t* img = store ? store->ram_para : nullptr;
    auto byteAt = [img](int offset) { return img ? loadShared(img + offset) : uint8_t(0); };
    // The LED brightness is the sending FPGAs' business: the scaler runs at
    // the neutral 50.
    traceOp("c331_SetBrightness(50)");
    c331_SetBrightness(50);
    traceOp("c331_SetContrast(%d)", imageWord(ram::kContrast));
    c331_SetContrast(imageWord(ram::kContrast));
    traceOp("c331_SetSharpness(%d)", imageWord(ram::kSharpness));
    c331_SetSharpness(imageWord(ram::kSharpness));
    int colour = byteAt(ram::kColourTempType) | byteAt(ram::kColourTempBlue) << 8 |
                 byteAt(ram::kColourTempGreen) << 16 | int(uint32_t(byteAt(ram::kColourTempRed)) << 24);
    traceOp("c331_SetColorTemp(0x%08x)", unsigned(colour));
    c331_SetColorTemp(colour);
    traceOp("c331_SetSaturation(%d)", imageWord(ram::kSaturation));
    c331_SetSaturation(imageWord(ram::kSaturation));
    setup_stage = kStageDispatch;
    traceOp("vyxApi_forceColorDisable()");
    vyxApi_forceColorDisable(c331_fd);
    VYX_DEBUG("\n ok c331_id  setup= %d \n", kStageDispatch);
    if (imageWord(ram::kOsdOn) == 1) {
        traceOp("vyxApi_OsdSet(0,1)");
        vyxApi_OsdSet(0, 1);
        reloadOsdMenu();
    } else {
        VYX_DEBUG("\n no osd file \n");
    }
}

void c331_manage::reloadOsdMenu()
{
    char path[] = "/data/configs/omenu.json";
    traceOp("get_json_omenu_para()");
    get_json_omenu_para(path, &g_osd_list);
    traceOp("set_OSD_para()");
    set_OSD_para(&g_osd_list);
}

// ---------------------------------------------------------------------------
// System parameter block

void c331_manage::load_system_param()
{
    const SystemParams& s = kSystemParams;
    std::memcpy(PS_CLOCK, s.clock, sizeof PS_CLOCK);
    PS_ACTHW = s.acthw;
    PS_ACTVW = s.actvw;
    PS_HTOTAL = s.htotal;
    PS_VTOTAL = s.vtotal;
    PS_HSW = s.hsw;
    PS_HBP = s.hbp;
    PS_VSW = s.vsw;
    PS_VBP = s.vbp;
    PS_HFP = s.htotal - s.acthw - s.hsw - s.hbp;
    PS_VBOTX_MODE = s.vbotxMode;
    PS_VBOTX_LAYOUT = s.vbotxLayout;
    std::memcpy(PS_CLKDIV1, s.clkdiv1, sizeof PS_CLKDIV1);
    std::memcpy(PS_CLKDIV2, s.clkdiv2, sizeof PS_CLKDIV2);
    const BringupChoices& c = kBringupChoices;
    for (int ch = 0; ch < kInChannels; ++ch) {
        for (int b = 0; b < 4; ++b)
            PS_MEM_SC[ch][b] = s.planeBase[ch] + s.bufferOffset[b];
        PS_MEM_SC[ch][4] = s.planeBase[ch] + c.fifthBufferOffset;
    }
    PS_SFL_ADDR = s.sflAddr;
    PS_MEM_OSD = s.memOsd;
    PS_MEM_OSD1 = s.memOsd1;
    PS_FONT_ADDR = s.fontAddr;

    for (int w = 0; w < kWindows; ++w) {
        dbd_clip[w] = c.dbdClip[w];
        PS_MEM_WMODE[w] = c.memWmode[w];
        for (int b = 0; b < 5; ++b)
            win_bufs[w][b] = c.winBufs[b];
        PM_IACTHST[w] = PM_IACTVST[w] = c.inputStart;
    }
    std::memcpy(PS_MEM_DBD, c.dbdBase, sizeof PS_MEM_DBD);
    PS_DBD_BLK_SIZE = c.dbdBlockSize;
    PS_MEM_UNITS = c.memUnits;
    for (int p = 0; p < kPorts; ++p) {
        PM_HNR[p] = PM_VNR[p] = PM_TNR[p] = PM_BNR[p] = PM_MNR[p] = c.nrLevel;
        PM_COMB[p] = PM_DIAG[p] = PM_MVFLT[p] = c.nrLevel;
        PM_IPEN[p] = c.ipEnable;
        PM_22PD[p] = PM_23PD[p] = PM_22PDSQTH[p] = PM_23PDSQTH[p] = PM_24SF[p] = c.pulldown;
    }
    for (int ch = 0; ch < 4; ++ch) {
        for (int f = 0; f < 2; ++f) {
            uint32_t base = c.ipFieldBase + c.ipChannelStride * uint32_t(ch) + c.ipFieldStride * uint32_t(f);
            PS_MEM_IP_I[ch][f] = base;
            PS_MEM_IP_P[ch][f] = base + c.ipProgressive;
        }
        PS_MEM_IPYOFF[ch] = c.ipYOffset;
        PS_MWI_IP[ch] = c.ipMwi;
    }
    for (int q = 0; q < 2; ++q) {
        PS_VBO_2LANE[q] = c.vboLanes[0];
        PS_VBO_4LANE[q] = c.vboLanes[1];
        PS_VBO_8LANE[q] = c.vboLanes[2];
    }
}

void c331_manage::define_param()
{
    PS_ACTHST = PS_OAOIHST = PS_HSW + PS_HBP;
    PS_OAOIHED = PS_OAOIHST + PS_ACTHW;
    PS_ACTVST = PS_OAOIVST = PS_VSW + PS_VBP;
    PS_OAOIVED = PS_OAOIVST + PS_ACTVW;

    // Ports across x ports down of the transmitter, by mode and layout.
    int across, down;
    if (PS_VBOTX_MODE == 0) {
        across = PS_VBOTX_LAYOUT == 0 ? 4 : 2;
        down = PS_VBOTX_LAYOUT == 0 ? 1 : 2;
    } else if (PS_VBOTX_MODE == 2) {
        across = PS_VBOTX_LAYOUT == 0 ? 2 : 1;
        down = PS_VBOTX_LAYOUT == 0 ? 1 : 2;
    } else {
        across = PS_VBOTX_LAYOUT == 0 ? 8 : 4;
        down = PS_VBOTX_LAYOUT == 0 ? 1 : 2;
    }
    PS_PANEL_HW = across * PS_ACTHW;
    PS_PANEL_VW = down * PS_ACTVW;
    PS_PANEL_HSHAPE = across;
    PS_PANEL_VSHAPE = down;

    PS_REF_CLK = PS_CLOCK[1] / 4;

    // Channel and window allocation start empty.
    for (int c = 0; c < kInChannels; ++c)
        ich_win[c] = -1;
    for (int w = 0; w < kWindows; ++w) {
        for (int c = 0; c < kInChannels; ++c)
            win_ich[w][c] = prev_win_ich[w][c] = -1;
        for (int k = 0; k < kOutChannels; ++k)
            win_och[w][k] = -1;
        for (int b = 0; b < 4; ++b)
            win_dbd_blk[w][b] = -1;
        stitch_grp[w] = w;
    }
    for (int b = 0; b < 6; ++b)
        dbd_blk_used[b] = -1;
    for (int k = 0; k < kOutChannels; ++k) {
        prev_PM_WIN_NUM[k] = k;
        mix_count[k] = 0;
        for (int i = 0; i < kOutChannels; ++i)
            mix_layers[k][i] = -1;
    }
    PM_OSD_SCROLL_SPEED = 32;
    PM_OSD_CHAR_64DOT = 1;
}

// ---------------------------------------------------------------------------
// Initial settings

void c331_manage::write_initial_setting(int fd, int withClocks)
{
    // Output-rate class from the first divider group and the reference clock.
    uint8_t classByte = 0;
    if (withClocks) {
        int64_t divisor = PS_VBOTX_MODE == 1 ? 2000000 : 4000000;
        int64_t r = int64_t(PS_CLKDIV1[4]) * PS_CLOCK[2] / (divisor * (PS_CLKDIV1[3] ? PS_CLKDIV1[3] : 1));
        classByte = r < 21 ? 0x44 : r < 41 ? 0x48 : 0x4C;
    }

    for (size_t g = 0; g < kInitialSettingsCount; ++g) {
        const InitGroup& group = kInitialSettings[g];
        if (group.clocksOnly && !withClocks)
            continue;
        if (group.mode == OtherModes ? (PS_VBOTX_MODE == 1 || PS_VBOTX_MODE == 2)
                                     : (group.mode != AnyMode && group.mode != PS_VBOTX_MODE))
            continue;
        for (int ch = 0; ch < group.channels; ++ch) {
            for (size_t i = 0; i < group.count; ++i) {
                const InitWrite& w = group.writes[i];
                uint32_t v = w.value;
                switch (w.from) {
                case Val::Lit: break;
                case Val::Pause: platform::pause_us(w.value); continue;
                case Val::HswHalfM1: v = uint32_t(PS_HSW / 2 - 1); break;
                case Val::VswM1: v = uint32_t(PS_VSW - 1); break;
                case Val::SflWord: v = (PS_SFL_ADDR >> 16) | 0x8000; break;
                case Val::ClkDiv1: v = uint32_t(PS_CLKDIV1[w.value]); break;
                case Val::ClkDiv2: v = uint32_t(PS_CLKDIV2[w.value]); break;
                case Val::HtotalM2: v = uint32_t(PS_HTOTAL - 2); break;
                case Val::VtotalM2: v = uint32_t(PS_VTOTAL - 2); break;
                case Val::OaoiHst: v = uint32_t(PS_OAOIHST); break;
                case Val::OaoiHed: v = uint32_t(PS_OAOIHED); break;
                case Val::OaoiVst: v = uint32_t(PS_OAOIVST); break;
                case Val::OaoiVed: v = uint32_t(PS_OAOIVED); break;
                case Val::ActHst: v = uint32_t(PS_ACTHST); break;
                case Val::ActVst: v = uint32_t(PS_ACTVST); break;
                case Val::ActVwP1: v = uint32_t(PS_ACTVW + 1); break;
                case Val::FieldBase: v = PS_MEM_SC[ch][w.value]; break;
                case Val::ByChannel: v = kByChannel[w.value][ch]; break;
                case Val::ClassByte: v = classByte; break;
                case Val::FiveIfMode1: v = PS_VBOTX_MODE == 1 ? 5 : 9; break;
                }
                const uint32_t bytes = w.code & 0xFF;
                for (uint32_t r = 0; r < w.run; ++r)
                    p_c331_drv->write_C331(fd, w.code + ((r * bytes) << 8), v, w.bankOffset + 16 * ch);
            }
        }
    }
}

void c331_manage::set_rtct(int fd, int mode)
{
    const uint8_t* row = kRtct[(mode >= 0 && mode <= 3) ? mode : 4];
    p_c331_drv->write_c331_mask(fd, kRtctOpen, 1, 1, 0);
    for (uint32_t i = 0; i < 7; ++i)
        p_c331_drv->write_C331(fd, kRtctFirst + (i << 8), row[i], 0);
    p_c331_drv->write_c331_mask(fd, kRtctOpen, 0, 1, 0);
}

// ---------------------------------------------------------------------------
// Default window composition

namespace {
// Copies n words from the table into dst; true when any changed.
bool take(int32_t* dst, const int32_t*& src, int n)
{
    bool changed = false;
    for (int i = 0; i < n; ++i) {
        changed |= dst[i] != src[i];
        dst[i] = src[i];
    }
    src += n;
    return changed;
}
} // namespace

int c331_manage::load_param()
{
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] = g_chg_input[w] = g_chg_dbd[w] = g_chg_attr[w] = 0;
    for (int k = 0; k < kOutChannels; ++k)
        g_chg_och[k] = 0;

    const int32_t* p = parameters_txt;
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(PM_WIN_SHAPE[w], p, 2);
    for (int w = 0; w < kWindows; ++w)
        g_chg_input[w] |= take(&PM_INPUT[w], p, 1);
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(PM_WIN_OFFSET[w], p, 4);
    for (int w = 0; w < kWindows; ++w)
        g_chg_input[w] |= take(PM_INPUT_OFFSET[w], p, 4);
    for (int w = 0; w < kWindows; ++w)
        g_chg_input[w] |= take(&PM_INPUT_OFFSET_EN[w], p, 1);
    for (int k = 0; k < kOutChannels; ++k)
        g_chg_och[k] |= take(&PM_WIN_NUM[k], p, 1);
    for (int k = 0; k < kOutChannels; ++k)
        g_chg_och[k] |= take(&PM_AREA_NUM[k], p, 1);
    for (int k = 0; k < kOutChannels; ++k)
        g_chg_och[k] |= take(&PM_OVERLAY[k], p, 1);
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(&PM_OVERLAY_PRI[w], p, 1);
    for (int s = 0; s < 2; ++s)
        for (int w = 0; w < kWindows; ++w)
            g_chg_win[w] |= take(&PM_WIN_SWITCH[s][w], p, 1);
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(&PM_WIN_FADE_EN[w], p, 1);
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(&PM_WIN_FADE_IN[w], p, 1);
    for (int w = 0; w < kWindows; ++w)
        g_chg_win[w] |= take(&PM_WIN_FADE_OUT[w], p, 1);
    for (int s = 0; s < 2; ++s)
        for (int w = 0; w < kWindows; ++w)
            g_chg_win[w] |= take(&PM_WIN_WORD[s][w], p, 1);

    bool osdSet = false, osdUpdate = false;
    osdSet |= take(&PM_OSD_EN, p, 1);
    osdSet |= take(&PM_OSD_HZOOM_EN, p, 1);
    osdSet |= take(&PM_OSD_VZOOM_EN, p, 1);
    osdUpdate |= take(&PM_OSD_DATA_MODE, p, 1);
    osdSet |= take(&PM_OSD_SCROLL_MODE, p, 1);
    osdSet |= take(PM_OSD_OUTPUT_OFFSET, p, 4);
    osdUpdate |= take(PM_OSD_INPUT_OFFSET, p, 4);
    take(PM_OSD_CTRL, p, 2);
    take(&PM_OSD_UPDATE_BUTTON, p, 1);
    osdUpdate |= PM_OSD_UPDATE_BUTTON != 0;

    for (int w = 0; w < kWindows; ++w)
        stitch_grp[w] = w;
    for (int k = 0; k < kOutChannels; ++k)
        if (g_chg_och[k])
            g_chg_all = 1;
    if (osdSet)
        osd_set_pending = 1;
    if (osdUpdate)
        osd_update_pending = 1;

    int printed = 0;
    for (int w = 0; w < kWindows; ++w)
        if (g_debugSwitch == 254)
            printed = std::printf("load_param  WIN[%d]  win=%d  dbd=%d  input=%d  pri=%d\n", w,
                                  PM_WIN_SHAPE[w][0] * PM_WIN_SHAPE[w][1], PM_WIN_DBD_MODE[w], PM_INPUT[w],
                                  PM_OVERLAY_PRI[w]);
    return printed;
}
