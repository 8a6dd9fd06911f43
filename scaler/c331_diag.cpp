// Diagnostics for service engineers: register and parameter dumps, test
// bars, V-by-One receiver sequences, probe reads and device tests. The PC
// starts them through the debug registers r33..r36 (run by the dispatcher
// inside a pass) and the full register dump; everything goes to standard
// output while diagnostics are on.
#include "scaler/c331_manage.h"

#include <cstdio>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "video_io/zevlosource.h"

namespace {
// One register of the catalogue: bank, first address, byte count.
struct RegEntry {
    uint8_t bank, addr, count;
};

// The chip's register list. The chip's own catalogue is not to hand; every
// byte of the banks this software programmes stands in for it, except the
// ports whose reads have side effects (the flash data port, the character
// command port and the OSD palette ports): a dump must not steal their bytes.
const std::vector<RegEntry>& catalogue()
{
    static const std::vector<RegEntry> entries = [] {
        std::vector<int> banks;
        for (int b = 0x00; b <= 0x06; ++b)
            banks.push_back(b);
        for (int b = 0x08; b <= 0x87; ++b)
            banks.push_back(b);
        for (int b : {0xA8, 0xAB, 0xAE, 0xAF, 0xB2, 0xFF})
            banks.push_back(b);
        std::vector<RegEntry> list;
        for (int b : banks)
            for (int a = 0x01; a <= 0x7F; ++a) {
                const bool sideEffect = (b == 0x04 && (a == 0x52 || a == 0x29)) || ((b & 0x0F) == 0x09 && a == 0x20);
                if (!sideEffect)
                    list.push_back({uint8_t(b), uint8_t(a), 1});
            }
        return list;
    }();
    return entries;
}

uint32_t codeOf(const RegEntry& e) { return uint32_t(e.bank) << 16 | uint32_t(e.addr) << 8 | e.count; }

// Test bar registers of a channel bank: control, position and size words,
// colour (BBGGRR) and mode.
constexpr uint32_t kBarCtrl = 0x085701;
constexpr uint32_t kBarWords[4] = {0x085802, 0x085A02, 0x085C02, 0x085E02};
constexpr uint32_t kBarColour = 0x086003;
constexpr uint32_t kBarMode = 0x086301;
constexpr uint32_t kBarColours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x00FFFF, 0xFFFF00};

const char* const kSectionNames[14] = {"parameters",     "input ports",    "windows and channels", "none",
                                       "none",           "port states",    "white background",     "zoom control",
                                       "input background", "zoom change", "input timings",        "none",
                                       "none",           "none"};
} // namespace

void c331_manage::c331_print()
{
    const int fd = c331_fd;
    for (const RegEntry& e : catalogue()) {
        const uint32_t code = codeOf(e);
        const unsigned value = p_c331_drv->read_C331(fd, code, 0);
        VYX_DEBUG("%06X  %08Xh\n", code, value);
        platform::pause_us(1);
    }
}

int c331_manage::vyxDbg_c331_param()
{
    if (g_debugSwitch != 254)
        return 0;
    auto item = [](const char* name, long long v) { std::printf("  %-22s %lld\n", name, v); };
    std::printf("<<===OCH SPEC\r\n");
    item("PS_ACTHW", PS_ACTHW);
    item("PS_HSW", PS_HSW);
    item("PS_HBP", PS_HBP);
    item("PS_HFP", PS_HFP);
    item("PS_HTOTAL", PS_HTOTAL);
    item("PS_VTOTAL", PS_VTOTAL);
    item("PS_ACTVW", PS_ACTVW);
    item("PS_VSW", PS_VSW);
    item("PS_VBP", PS_VBP);
    item("PS_ACTHST", PS_ACTHST);
    item("PS_ACTVST", PS_ACTVST);
    item("PS_OAOIHST", PS_OAOIHST);
    item("PS_OAOIHED", PS_OAOIHED);
    item("PS_OAOIVST", PS_OAOIVST);
    item("PS_OAOIVED", PS_OAOIVED);
    std::printf("<<===PS VBO\r\n");
    item("PS_VBOTX_MODE", PS_VBOTX_MODE);
    item("PS_VBOTX_LAYOUT", PS_VBOTX_LAYOUT);
    std::printf("<<===PM_WIN_SHAPE\r\n");
    for (int w = 0; w < kWindows; ++w)
        std::printf("  WIN%d %d x %d\n", w, PM_WIN_SHAPE[w][0], PM_WIN_SHAPE[w][1]);
    std::printf("<<===PM_WIN_FAD\r\n");
    for (int w = 0; w < kWindows; ++w)
        std::printf("  WIN%d en %d in %d out %d\n", w, PM_WIN_FADE_EN[w], PM_WIN_FADE_IN[w], PM_WIN_FADE_OUT[w]);
    std::printf("<<===PM_INPUT\r\n");
    for (int w = 0; w < kWindows; ++w)
        std::printf("  WIN%d %d\n", w, PM_INPUT[w]);
    std::printf("<<===PM_WIN_OFFSET\r\n");
    for (int w = 0; w < kWindows; ++w)
        std::printf("  WIN%d %d %d %d %d\n", w, PM_WIN_OFFSET[w][0], PM_WIN_OFFSET[w][1], PM_WIN_OFFSET[w][2],
                    PM_WIN_OFFSET[w][3]);
    std::printf("<<===PM_INPUT_OFFSET_EN\r\n");
    for (int w = 0; w < kWindows; ++w)
        std::printf("  WIN%d %d (%d %d %d %d)\n", w, PM_INPUT_OFFSET_EN[w], PM_INPUT_OFFSET[w][0],
                    PM_INPUT_OFFSET[w][1], PM_INPUT_OFFSET[w][2], PM_INPUT_OFFSET[w][3]);
    std::printf("<<===PM_WIN_NUM\r\n");
    for (int k = 0; k < kOutChannels; ++k)
        std::printf("  OCH%d %d\n", k, PM_WIN_NUM[k]);
    std::printf("<<===PM_AREA_NUM\r\n");
    for (int k = 0; k < kOutChannels; ++k)
        std::printf("  OCH%d %d\n", k, PM_AREA_NUM[k]);
    std::printf("<<===PM_OVERLAY\r\n");
    for (int k = 0; k < kOutChannels; ++k)
        std::printf("  OCH%d %d\n", k, PM_OVERLAY[k]);
    std::printf("<<===PM OSD\r\n");
    item("PS_PANEL_HW", PS_PANEL_HW);
    item("PS_PANEL_VW", PS_PANEL_VW);
    item("PS_PANEL_HSHAPE", PS_PANEL_HSHAPE);
    item("PS_PANEL_VSHAPE", PS_PANEL_VSHAPE);
    item("PM_OSD_EN", PM_OSD_EN);
    item("PM_OSD_HZOOM_EN", PM_OSD_HZOOM_EN);
    item("PM_OSD_VZOOM_EN", PM_OSD_VZOOM_EN);
    item("PM_OSD_DATA_MODE", PM_OSD_DATA_MODE);
    item("PM_OSD_UPDATE_BUTTON", PM_OSD_UPDATE_BUTTON);
    item("PM_OSD_SCROLL_MODE", PM_OSD_SCROLL_MODE);
    item("PM_OSD_SCROLL_SPEED", PM_OSD_SCROLL_SPEED);
    item("PM_OSD_CHAR_64DOT", PM_OSD_CHAR_64DOT);
    item("PM_OSD_DOUBLE_WIDTH", PM_OSD_DOUBLE_WIDTH);
    for (int i = 0; i < 4; ++i)
        std::printf("  PM_OSD_OUTPUT_OFFSET[%d] %d  PM_OSD_INPUT_OFFSET[%d] %d\n", i, PM_OSD_OUTPUT_OFFSET[i], i,
                    PM_OSD_INPUT_OFFSET[i]);
    item("PS_BG_HACT", PS_BG_HACT);
    item("PS_BG_VACT", PS_BG_VACT);
    std::printf("  %-22s %06X\n", "PS_BG_COLOR", PS_BG_COLOR);
    item("PS_BG_TRANS", PS_BG_TRANS);
    item("PS_CHAR_HST", PS_CHAR_HST);
    item("PS_CHAR_VST", PS_CHAR_VST);
    std::printf("  %-22s %06X\n", "PS_CHAR_COLOR", PS_CHAR_COLOR);
    item("g_osd_mwi", g_osd_mwi);
    item("g_osd_mwi_shift", g_osd_mwi_shift);
    item("font_status", font_status.load());
    std::printf("<<===OSD_WIN\r\n");
    std::printf("  HST %d HW %d VST %d VW %d\n", OSD_WIN.HST, OSD_WIN.HW, OSD_WIN.VST, OSD_WIN.VW);
    for (int i = 0; i < 8; ++i)
        std::printf("  col%d %d+%d row%d %d+%d\n", i, OSD_WIN.colStart[i], OSD_WIN.colWidth[i], i, OSD_WIN.rowStart[i],
                    OSD_WIN.rowHeight[i]);
    std::printf("  g_unicode_line %d\n", g_unicode_line);
    for (int l = 0; l < g_unicode_line && l < 64; ++l) {
        std::printf("  line%d (%d):", l, osd_line_hoffs[l]);
        for (int i = 0; i < osd_line_len[l] && i < 128; ++i)
            std::printf(" [%#x,%#x]", osd_text[l][i] >> 8, osd_text[l][i] & 0xFF);
        std::printf("\n");
    }
    std::printf("  char table: 32 ascii %06X+%X 32 chinese %06X+%X 64 ascii %06X+%X 64 chinese %06X+%X\n",
                PS_CHAR_ADDR_32ASCII, PS_CHAR_SIZE_32ASCII, PS_CHAR_ADDR_32CHN, PS_CHAR_SIZE_32CHN,
                PS_CHAR_ADDR_64ASCII, PS_CHAR_SIZE_64ASCII, PS_CHAR_ADDR_64CHN, PS_CHAR_SIZE_64CHN);
    std::printf("  fonts in memory: %08X %08X %08X %08X\n", g_font_addr_32ASCII, g_font_addr_32CHN,
                g_font_addr_64ASCII, g_font_addr_64CHN);
    std::printf("  bitmap table: %d x %d at %06X, palette %06X\n", PS_BMP_HACT, PS_BMP_VACT, PS_BMP_ADDR,
                PS_BMPCP_ADDR);
    std::printf("<<===PI HDMI INFO\r\n");
    for (int p = 0; p < 4; ++p) {
        const ST_HDMI_INFO& i = PI_HDMI_INFO[p];
        std::printf("  PORT%d Hact %d Hsync %d Hback %d Hpol %d Htotal %d Vact %d Vsync %d Vback %d Vpol %d "
                    "Vtotal %d pfreq %.2f type %d datamode %d lane %d ip %d nosignal %d\n",
                    p, i.Hact, i.Hsync, i.Hback, i.Hpol, i.Htotal, i.Vact, i.Vsync, i.Vback, i.Vpol, i.Vtotal,
                    double(i.pfreq), i.type, i.datamode, i.lane, i.ip, i.nosignal);
    }
    return 0;
}

int c331_manage::vyxDbg_c331_param(int n)
{
    const int section = ((n % 14) + 14) % 14;
    const int fd = c331_fd;
    VYX_DEBUG("[vyxDbg_c331_param] %s\n", kSectionNames[section]);
    switch (section) {
    case 0: return vyxDbg_c331_param();
    case 1:
        for (int p = 0; p < kPorts; ++p) {
            const ST_PORT_INFO& r = PI_PORT_INFO[p];
            VYX_DEBUG("  PORT%d PI_UPDATE %d PI_STATE %d PI_HTOTAL %d PI_VTOTAL %d PI_ACT %d %d %d %d "
                      "htt %d vtt %d hw %d state %d nosig %d\n",
                      p, PI_UPDATE[p], PI_STATE[p], PI_HTOTAL[p], PI_VTOTAL[p], PI_ACT[p].hst, PI_ACT[p].hw,
                      PI_ACT[p].vst, PI_ACT[p].vw, r.htt, r.vtt, r.hw, r.state, r.nosig);
        }
        break;
    case 2:
        for (int w = 0; w < kWindows; ++w) {
            const int p = PM_INPUT[w];
            VYX_DEBUG("  WIN%d IWIN %d %d %d %d OWIN %d %d %d %d IACT %d %d MEM %d/%d SCAN %d\n", w, IWIN[w].hst,
                      IWIN[w].hw, IWIN[w].vst, IWIN[w].vw, OWIN[w].hst, OWIN[w].hw, OWIN[w].vst, OWIN[w].vw,
                      PM_IACTHST[w], PM_IACTVST[w], PM_MEM_WMODE[w], PS_MEM_WMODE[w],
                      p >= 0 && p < kPorts ? PI_SCAN_MODE[p] : -1);
        }
        for (int p = 0; p < kPorts; ++p)
            VYX_DEBUG("  PORT%d PI_FPICLK %.3f PI_FH %.3f PI_FV %.3f\n", p, PI_FPICLK[p], PI_FH[p], PI_FV[p]);
        for (int c = 0; c < kInChannels; ++c)
            VYX_DEBUG("  ICH%d SFLD %08X %08X %08X %08X %08X\n", c, PS_MEM_SC[c][0], PS_MEM_SC[c][1], PS_MEM_SC[c][2],
                      PS_MEM_SC[c][3], PS_MEM_SC[c][4]);
        for (int q = 0; q < 2; ++q)
            VYX_DEBUG("  VBO%d lanes 2:%d 4:%d 8:%d\n", q, PS_VBO_2LANE[q], PS_VBO_4LANE[q], PS_VBO_8LANE[q]);
        for (int k = 0; k < kOutChannels; ++k) {
            VYX_DEBUG("  OCH%d layers", k);
            for (int i = 0; i < mix_count[k] && i < kOutChannels; ++i)
                VYX_DEBUG(" %d", mix_layers[k][i]);
            VYX_DEBUG("\n");
        }
        for (int w = 0; w < kWindows; ++w)
            VYX_DEBUG("  WIN%d PM_OVERLAY_PRI %d\n", w, PM_OVERLAY_PRI[w]);
        break;
    case 5:
        for (int p = 0; p < kPorts; ++p)
            VYX_DEBUG("  PORT%d PI_UPDATE %d PI_STATE %d\n", p, PI_UPDATE[p], PI_STATE[p]);
        break;
    case 6:
        for (int k = 0; k < kOutChannels; ++k) {
            p_c331_drv->write_C331(fd, 0x084903, 0xFFFFFF, 16 * k);
            p_c331_drv->write_C331(fd, 0x084801, 1, 16 * k);
        }
        break;
    case 7:
        for (int k = 0; k < kOutChannels; ++k)
            p_c331_drv->write_C331(fd, 0x0A4601, 0xC3, 16 * k);
        break;
    case 8:
        for (int k = 0; k < kOutChannels; ++k) {
            p_c331_drv->write_C331(fd, 0x504A01, 1, 16 * k);
            p_c331_drv->write_C331(fd, 0x504B03, 0x80FF80, 16 * k);
        }
        VYX_DEBUG("\n .........input change........... \n");
        break;
    case 9:
        for (uint32_t code : {0x0A4601u, 0x0A4B01u, 0x1A4601u, 0x1A4B01u})
            p_c331_drv->write_C331(fd, code, 3, 0);
        VYX_DEBUG("\n .........B10_HZOOMCTCH1/B10_VZOOMCTCH1 change........... \n");
        break;
    case 10: {
        zevlosource* sources = zevlosource::p_zevlo_source;
        if (!sources)
            break;
        for (int s = 0; s < zevlosource::kInputs; ++s) {
            const HDMI_INFO i = sources->get_hdminfo(s);
            VYX_DEBUG("  SOURCE%d Hact %d Hsync %d Hback %d Hpol %d Htotal %d Vact %d Vsync %d Vback %d Vpol %d "
                      "Vtotal %d PCLK %.2f type %d datamode %d lanes %d %s %s\n",
                      s, i.Hact, i.Hsync, i.Hback, i.Hpol, i.Htotal, i.Vact, i.Vsync, i.Vback, i.Vpol, i.Vtotal,
                      double(i.pfreq), i.type, i.datamode, i.lane, i.ip ? "interlaced" : "progressive",
                      i.nosignal ? "no signal" : "signal");
        }
        break;
    }
    default: break;
    }
    return 0;
}

namespace {
// The registers a register-group dump shows of one output or input channel.
struct ChannelRegs {
    const char* name;       // "OCH" or "ICH"
    const char* fields[5];  // field-buffer addresses
    uint32_t firstField;    // their first register, the next ones 4 apart
    const char* syncName;
    uint32_t sync;
    const char* pitchName;
    uint32_t pitch;
    const char* actName;
    uint32_t act[4];
};
constexpr ChannelRegs kOutRegs{"OCH", {"OSFLD0", "OSFLD1", "OSFLD2", "OSFLD3", "OSFLD4"}, 0x160804, "OSYCT", 0x080802,
                               "OMWI", 0x163001, "OACT", {0x084002, 0x084202, 0x084402, 0x084602}};
constexpr ChannelRegs kInRegs{"ICH", {"ISFLD0", "ISFLD1", "ISFLD2", "ISFLD3", "ISFLD4"}, 0x161C04, "ISYCT", 0x100901,
                              "IMWI", 0x163101, "IACT", {0x101702, 0x101902, 0x101B02, 0x101D02}};

void dumpChannel(c331_drv* d, int fd, const ChannelRegs& r, int ch)
{
    auto dump = [&](const char* name, uint32_t code) {
        VYX_DEBUG("    %-7s %08X\n", name, d->read_C331(fd, code, 16 * ch));
    };
    VYX_DEBUG("   %s%d\n", r.name, ch);
    for (int b = 0; b < 5; ++b)
        dump(r.fields[b], r.firstField + (uint32_t(b) << 10));
    dump(r.syncName, r.sync);
    dump(r.pitchName, r.pitch);
    for (uint32_t code : r.act)
        dump(r.actName, code);
}
} // namespace

int c331_manage::vyxDbg_c331_print_regGrp(int grp)
{
    const int fd = c331_fd;
    for (int w = 0; w < kWindows; ++w) {
        if (!PM_WIN_SHAPE[w][0] || !PM_WIN_SHAPE[w][1])
            continue;
        // Output channels in the window's tile order, left to right.
        std::vector<int> och, ich;
        for (int area = 0; area < kOutChannels; ++area)
            for (int k = 0; k < kOutChannels; ++k)
                if (PM_WIN_NUM[k] == w && PM_AREA_NUM[k] == area)
                    och.push_back(k);
        for (int i = 0; i < kInChannels && win_ich[w][i] >= 0 && win_ich[w][i] < kInChannels; ++i)
            ich.push_back(win_ich[w][i]);
        VYX_DEBUG("  WIN%d ICH:", w);
        for (int c : ich)
            VYX_DEBUG(" %d", c);
        VYX_DEBUG("  OCH:");
        for (int k : och)
            VYX_DEBUG(" %d", k);
        VYX_DEBUG("\n");
        for (int k : och)
            dumpChannel(p_c331_drv, fd, kOutRegs, k);
        for (int c : ich)
            dumpChannel(p_c331_drv, fd, kInRegs, c);
    }
    return grp;
}

// ---------------------------------------------------------------------------
// Test bars

namespace {
void bar(c331_drv* drv, int fd, int bank, uint32_t ctrl, const uint32_t (&words)[4], uint32_t colour, int mode)
{
    const int offset = bank - 0x08;
    drv->write_C331(fd, kBarCtrl, ctrl, offset);
    for (int i = 0; i < 4; ++i)
        drv->write_C331(fd, kBarWords[i], words[i], offset);
    drv->write_C331(fd, kBarColour, colour, offset);
    if (mode >= 0)
        drv->write_C331(fd, kBarMode, uint32_t(mode), offset);
}
} // namespace

int c331_manage::input_slidebar(int fd)
{
    // Input channels 5 and 6.
    const int banks[] = {0x48, 0x58};
    for (int i = 0; i < 2; ++i)
        bar(p_c331_drv, fd, banks[i], 137, {160, 0, 32, 2752}, kBarColours[i], -1);
    VYX_DEBUG("\n input_slidebar over\n");
    return 0;
}

int c331_manage::output_slidebar(int fd)
{
    const int banks[] = {0x08, 0x18, 0x28, 0x38};
    for (int i = 0; i < 4; ++i)
        bar(p_c331_drv, fd, banks[i], 9, {160, 0, 32, 1376}, kBarColours[i], 3);
    VYX_DEBUG("\n output_slidebar over\n");
    return 0;
}

int c331_manage::disable_slidebar(int fd)
{
    for (int bank : {0x08, 0x18, 0x28, 0x38, 0x48, 0x58})
        p_c331_drv->write_C331(fd, kBarCtrl, 0, bank - 0x08);
    VYX_DEBUG("\n disable_slidebar over\n");
    return 0;
}

// ---------------------------------------------------------------------------
// V-by-One receiver lane sequences

namespace {
// Selects a receiver's lanes, then sets its three lane registers.
void laneSequence(c331_drv* d, int fd, uint32_t lanes, const uint32_t (&regs)[3])
{
    d->write_C331(fd, 0x027F01, lanes, 0);
    d->write_C331(fd, 0x027F01, 0x0F, 0);
    const uint32_t values[3] = {5, 0xFF, 0xAB};
    for (int i = 0; i < 3; ++i)
        d->write_C331(fd, regs[i], values[i], 0);
}
} // namespace

int c331_manage::vbyone_rx_ch1_seq(int fd)
{
    laneSequence(p_c331_drv, fd, 0x0E, {0x024001, 0x024F01, 0x024C01});
    VYX_DEBUG("\n vbyone_rx_ch1_seq over\n");
    return 0;
}

int c331_manage::vbyone_rx_ch2_seq(int fd)
{
    laneSequence(p_c331_drv, fd, 0x0D, {0x025C01, 0x026B01, 0x026801});
    VYX_DEBUG("\n vbyone_rx_ch2_seq over\n");
    return 0;
}

// ---------------------------------------------------------------------------
// Probes

int c331_manage::read_c331_b174bug(int fd)
{
    const int inputs[] = {11, 13, 15, 17};
    const uint32_t htotal[] = {0xAE4002, 0xAE4202, 0xAE4402, 0xAE4602};
    const uint32_t vtotal[] = {0xAE5C03, 0xAE5F03, 0xAE6203, 0xAE6503};
    for (int i = 0; i < 4; ++i) {
        const unsigned h = p_c331_drv->read_C331(fd, htotal[i], 0) + 1;
        const unsigned v = p_c331_drv->read_C331(fd, vtotal[i], 0) + 1;
        VYX_DEBUG("B174_VI%dFHM = %u  B174_VI%dFVM = %u\n", inputs[i], h, inputs[i], v);
    }
    VYX_DEBUG("B3_IDUALCTCH56 = %02X\n", p_c331_drv->read_C331(fd, 0x031A01, 0));
    return 0;
}

int c331_manage::write_read_c331_b80_iacthstch5(int fd)
{
    const unsigned before = p_c331_drv->read_C331(fd, 0x501702, 0);
    p_c331_drv->write_C331(fd, 0x501702, before + 100, 0);
    const unsigned after = p_c331_drv->read_C331(fd, 0x501702, 0);
    VYX_DEBUG("B80_IACTHSTCH5 = %u, written %u, read back %u\n", before, before + 100, after);
    return 0;
}

// ---------------------------------------------------------------------------
// Device tests

int c331_manage::sync_c331_device_test_input(int fd)
{
    c331_drv* d = p_c331_drv;
    d->write_C331(fd, 0x004801, 0x89, 0);
    d->write_C331(fd, 0x004901, 0x43, 0);
    d->write_C331(fd, 0x004A01, 2, 0);
    d->write_C331(fd, 0x004B01, 0x10, 0);
    d->write_C331(fd, 0x081802, 1, 0);
    d->write_C331(fd, 0x080F01, 0xC4, 0);
    platform::pause_ms(100);
    d->write_C331(fd, 0x080F01, 0, 0);
    VYX_DEBUG("\n sync_c331_device_test_input over\n");
    return 0;
}

namespace {
// The frame-lock tests differ in the lock mode, the reference and the frame
// total of the output channels.
void frameLock(c331_drv* d, int fd, uint32_t mode, uint32_t reference)
{
    d->write_C331(fd, 0x005502, 0x40, 0);
    d->write_C331(fd, 0x080F01, mode, 0);
    d->write_C331(fd, 0x080802, 0x403, 0);
    d->write_C331(fd, 0x081802, reference, 0);
}
} // namespace

int c331_manage::sync_c331_device_test_frame_lock(int fd)
{
    frameLock(p_c331_drv, fd, 4, 1);
    for (int k = 0; k < kOutChannels; ++k)
        p_c331_drv->write_C331(fd, 0x080C02, 5489, 16 * k);
    VYX_DEBUG("\n sync_c331_device_test_frame_lock over\n");
    return 0;
}

int c331_manage::sync_c331_device_test_frame_lock_vbyrx2(int fd)
{
    frameLock(p_c331_drv, fd, 0x84, 2);
    // The output frame total now, a tenth longer.
    const int total = panel.och.vtt > 0 ? panel.och.vtt : PS_VTOTAL;
    for (int k = 0; k < kOutChannels; ++k) {
        p_c331_drv->write_C331(fd, 0x080C02, uint32_t(total * 1.1), 16 * k);
        p_c331_drv->write_C331(fd, 0x081D02, 1, 16 * k);
    }
    VYX_DEBUG("\n sync_c331_device_test_frame_lock_vbyrx2 over\n");
    return 0;
}

int c331_manage::sync_c331_device_test_frame_lock_vbyrx3(int fd)
{
    frameLock(p_c331_drv, fd, 4, 2);
    for (int k = 0; k < kOutChannels; ++k)
        p_c331_drv->write_C331(fd, 0x080C02, 5489, 16 * k);
    VYX_DEBUG("\n sync_c331_device_test_frame_lock_vbyrx3 over\n");
    return 0;
}
