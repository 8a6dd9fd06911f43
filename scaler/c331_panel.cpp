// Panel and output channels: the LED screen split between the two outputs,
// laid over the scaler's output channels, their timing and lane crossbar,
// published into the parameter image.
#include "scaler/c331_manage.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"

namespace {

constexpr const char kSpliceNames[6][20] = {"SPLICE MODE: NONE", "SPLICE MODE: HV",   "SPLICE MODE: V",
                                            "SPLICE MODE: H",    "SPLICE MODE: CP12", "SPLICE MODE: CP21"};

// Output timings: for every line total 660..8280 (steps of 4) the frame
// totals from the smallest with about 9.9 million pixel periods a frame,
// rising by one while the frame stays within 9,908,000 (at most 13), with
// the table's odd entries where it has them: (1216, 8200) after (1216,
// 8143), (5444, 1816) before (5444, 1819), and line total 4388 starting at
// 2256 with its next pair written (2257, 2257).
constexpr int64_t kFramePeriods = 9900000;
constexpr int64_t kFramePeriodsMax = 9908000;

} // namespace

const std::vector<std::pair<int, int>>& c331_manage::outputTimings()
{
    static const std::vector<std::pair<int, int>> table = [] {
        std::vector<std::pair<int, int>> t;
        for (int htt = 660; htt <= 8280; htt += 4) {
            if (htt == 4388) {
                t.emplace_back(4388, 2256);
                t.emplace_back(2257, 2257);
                continue;
            }
            if (htt == 5444)
                t.emplace_back(5444, 1816);
            int first = int((kFramePeriods + htt - 1) / htt);
            for (int k = 0; k < 13; ++k) {
                int vtt = first + k;
                if (k > 0 && int64_t(htt) * vtt > kFramePeriodsMax)
                    break;
                t.emplace_back(htt, vtt);
                if (htt == 1216 && vtt == 8143)
                    t.emplace_back(1216, 8200);
            }
        }
        return t;
    }();
    return table;
}

namespace {

int roundUp(int v, int step) { return (v + step - 1) / step * step; }
int ceilDiv(int a, int b) { return b > 0 ? (a + b - 1) / b : 0; }

bool stacked(int splice) { return splice == SPLICE_HV || splice == SPLICE_V; }

} // namespace

int c331_manage::vyxApi_PnlInit2(int ledW, int ledH, int out1w, int out1h, int splice)
{
    std::memset(static_cast<void*>(&panel), 0, sizeof panel);
    panel.splice = int(unsigned(splice) % 6u);
    panel.w = uint16_t(ledW);
    panel.h = uint16_t(ledH);
    // Output 1 never exceeds the screen: a larger one (only a PC can write
    // it) would leave output 2 a wrapped-around negative size.
    const uint16_t w1 = std::min<uint16_t>(uint16_t(out1w), panel.w);
    const uint16_t h1 = std::min<uint16_t>(uint16_t(out1h), panel.h);
    switch (panel.splice) {
    case SPLICE_HV:
    case SPLICE_V:
        panel.w1 = panel.w;
        panel.w2 = 0;
        panel.h1 = h1;
        panel.h2 = uint16_t(panel.h - h1);
        break;
    case SPLICE_H:
        panel.w1 = w1;
        panel.w2 = uint16_t(panel.w - w1);
        panel.h1 = panel.h;
        panel.h2 = 0;
        break;
    case SPLICE_NONE:
    case SPLICE_CP12:
        panel.w1 = panel.w;
        panel.w2 = panel.w;
        panel.h1 = panel.h;
        panel.h2 = 0;
        break;
    default: // CP21: no part sizes
        break;
    }
    VYX_DEBUG("\t%s\n", kSpliceNames[panel.splice]);

    vyxApi_PnlInitOch3();
    vyxApi_initEnvC331();
    // Every input is examined again.
    std::memset(static_cast<void*>(port_check), 0xFF, sizeof port_check);
    for (int p = 0; p < kPorts; ++p)
        port_check_changed[p] = 1;
    vyxApi_MultiWinChAlloc(1);
    vyxApi_MultiWinChInit();
    return vyxDbg_c331_param();
}

int c331_manage::vyxApi_PnlInitOch3()
{
    const int splice = panel.splice;
    const bool tooWide = panel.w1 > 8191 || panel.w2 > 8191;
    int W, H;
    if (stacked(splice)) {
        W = panel.w1 + panel.w2;
        H = std::max(panel.h1, panel.h2);
    } else {
        W = std::max(panel.w1, panel.w2);
        H = panel.h1 + panel.h2;
    }

    int width, hblank, vblank;
    ST_OCH_SPEC& och = panel.och;
    if (!tooWide && int64_t(W) * H <= 9800000) {
        panel.use1och = 1;
        width = roundUp(W, 4);
        och.hsw = 12;
        och.hfp = 8;
        och.vsw = 3;
        och.vfp = 3;
        hblank = 64;
        vblank = 12;
        if (stacked(splice)) {
            panel.arrangement = ARRANG2K4_1x2;
            panel.och_HCnt = 1;
            panel.och_VCnt = 2;
        } else {
            panel.arrangement = ARRANG2K4_2x1;
            panel.och_HCnt = 2;
            panel.och_VCnt = 1;
        }
    } else {
        panel.use1och = 0;
        width = roundUp(W, 8);
        och.hsw = 12;
        och.hfp = 32;
        och.vsw = 12;
        och.vfp = 32;
        hblank = 76;
        vblank = 76;
        if (stacked(splice)) {
            panel.arrangement = ARRANG2K4_2x2_8K;
            panel.och_HCnt = 2;
            panel.och_VCnt = 2;
        } else if (splice == SPLICE_CP21) {
            panel.arrangement = ARRANG2K4_2x1;
            panel.och_HCnt = 2;
            panel.och_VCnt = 1;
        } else {
            panel.arrangement = ARRANG2K4_4x1_8K;
            panel.och_HCnt = 4;
            panel.och_VCnt = 1;
        }
    }
    static const char* const kArrangementNames[] = {"ARRANG2K4_2x1", "ARRANG2K4_4x1_8K", "ARRANG2K4_2x2_8K",
                                                    "ARRANG2K4_1x2"};
    VYX_DEBUG("\t%s %s\n", kSpliceNames[splice], kArrangementNames[panel.arrangement - ARRANG2K4_2x1]);
    panel.ochBW = 0;
    panel.xoffs = panel.yoffs = 0;

    int htt = 0, vtt = 0;
    vyxApi_PnlInitOch_diff(&htt, &vtt, hblank, vblank, width, H);
    och.htt = htt;
    och.vtt = vtt;

    if (stacked(splice)) {
        int half = panel.och_VCnt / 2;
        och.height = ceilDiv(H, half);
        panel.yoffs = uint16_t(och.height * half - panel.h1);
    } else if (splice == SPLICE_H) {
        och.height = vtt - vblank;
        panel.xoffs = uint16_t(och.width * panel.och_HCnt / 2 - panel.w1);
    } else {
        och.height = ceilDiv(panel.h, panel.och_VCnt);
    }

    vyxApi_WriteRam(ram::kSpliceMode);
    vyxApi_c331InitRegPanel();
    return 0;
}

int c331_manage::vyxApi_PnlInitOch_diff(int* htt, int* vtt, int hblank, int vblank, int width, int height)
{
    if (!panel.use1och) {
        if (stacked(panel.splice)) {
            height /= 2;
            if (panel.arrangement == ARRANG2K4_2x2_8K)
                width /= 2;
        } else {
            width /= 2;
        }
    }
    const int wantH = width + hblank, wantV = height + vblank;
    int H = 0, V = 0;
    bool found = false;
    for (const auto& pair : outputTimings()) {
        if (pair.first >= wantH && pair.second >= wantV) {
            H = pair.first;
            V = pair.second;
            found = true;
            break;
        }
    }
    if (found) {
        VYX_DEBUG("\t found htt: %d, vtt:%d\n", H, V);
    } else if (panel.use1och) {
        VYX_DEBUG("\t not found in list for Use one OCH, continue find for Use TWO OCH\n");
        H = roundUp(wantH, 4);
        V = wantV;
        VYX_DEBUG("\t not found in list, calc htt: %d -- %04x\n", H, H);
    } else {
        H = wantH;
        V = wantV;
        VYX_DEBUG("\t not found in list, calc htt: %d -- %04x\n", H, H);
    }
    *htt = H;
    *vtt = V;
    panel.och.width = width;
    panel.och.height = V - vblank;
    return 1;
}

int c331_manage::vyxApi_WriteRam(int addr)
{
    int across, down;
    switch (panel.splice) {
    case SPLICE_NONE:
    case SPLICE_CP12:
        across = panel.use1och ? 1 : 2;
        down = 1;
        break;
    case SPLICE_H:
        across = panel.use1och ? 2 : 4;
        down = 1;
        break;
    default: // HV, V, CP21
        across = panel.use1och ? 1 : 2;
        down = 2;
        break;
    }
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (addr == ram::kSpliceMode && store) {
        uint8_t* img = store->ram_para;
        putLe16(img + ram::kPictureOffsetX, panel.xoffs);
        putLe16(img + ram::kPictureOffsetY, panel.yoffs);
        putLe16(img + ram::kOutChannelsAcross, uint16_t(across));
        putLe16(img + ram::kOutChannelsDown, uint16_t(down));
        putLe16(img + ram::kOutChannelWidth, uint16_t(panel.och.width));
        putLe16(img + ram::kOutChannelHeight, uint16_t(panel.och.height));
        putLe16(img + ram::kOutBandwidthClass, uint16_t(panel.ochBW));
    }
    VYX_DEBUG("PANEL led_x %d led_y %d och_num %dx%d och %dx%d bw %d\n", panel.xoffs, panel.yoffs, across, down,
              panel.och.width, panel.och.height, panel.ochBW);
    return 0;
}

void c331_manage::vyxApi_c331InitRegPanel()
{
    const int fd = c331_fd;
    c331_drv& drv = *p_c331_drv;
    const ST_OCH_SPEC& och = panel.och;
    // The channel's own width and height (halved in two-channel mode).
    PS_ACTHW = och.width;
    PS_ACTVW = och.height;
    PS_HTOTAL = och.htt;
    PS_VTOTAL = och.vtt;
    PS_HSW = och.hsw;
    PS_VSW = och.vsw;
    PS_HFP = och.hfp;
    PS_HBP = och.htt - och.width - och.hsw - och.hfp;
    PS_VBP = och.vtt - och.height - och.vsw - och.vfp;

    drv.write_C331(fd, 0x034401, uint32_t(PS_HSW / 2 - 1), 0);
    drv.write_C331(fd, 0x034501, uint32_t(PS_VSW - 1), 0);
    drv.write_C331(fd, 0x034C01, uint32_t(PS_HSW / 2 - 1), 0);
    drv.write_C331(fd, 0x034D01, uint32_t(PS_VSW - 1), 0);

    PS_OAOIHST = PS_ACTHST = PS_HSW + PS_HBP;
    PS_OAOIHED = PS_HSW + PS_HBP + och.width;
    PS_OAOIVST = PS_ACTVST = PS_VSW + PS_VBP;
    PS_OAOIVED = PS_VSW + PS_VBP + och.height;

    PS_VBOTX_MODE = 2;
    const bool grid2x = panel.arrangement == ARRANG2K4_2x2_8K || panel.arrangement == ARRANG2K4_1x2;
    PS_VBOTX_LAYOUT = grid2x ? 1 : 0;
    if (!grid2x) {
        int n = panel.use1och ? 2 : 4;
        PS_PANEL_HW = och.width * n;
        PS_PANEL_VW = och.height;
        PS_PANEL_HSHAPE = n;
        PS_PANEL_VSHAPE = 1;
    } else {
        int m = panel.use1och ? 1 : 2;
        PS_PANEL_HW = och.width * m;
        PS_PANEL_VW = och.height * 2;
        PS_PANEL_HSHAPE = m;
        PS_PANEL_VSHAPE = 2;
    }

    for (int c = 0; c < kOutChannels; ++c) {
        const int off = 16 * c;
        drv.write_C331(fd, 0x080A02, uint32_t(och.htt - 2), off);
        drv.write_C331(fd, 0x080C02, uint32_t(och.vtt - 2), off);
        drv.write_C331(fd, 0x081D02, 64, off);
        for (uint32_t base : {0x082802u, 0x083002u}) {
            drv.write_C331(fd, base, uint32_t(PS_OAOIHST), off);
            drv.write_C331(fd, base + 0x200, uint32_t(PS_OAOIHED), off);
            drv.write_C331(fd, base + 0x400, uint32_t(PS_OAOIVST), off);
            drv.write_C331(fd, base + 0x600, uint32_t(PS_OAOIVED), off);
        }
        drv.write_C331(fd, 0x084002, uint32_t(PS_ACTHST), off);
        drv.write_C331(fd, 0x084202, uint32_t(och.width), off);
        drv.write_C331(fd, 0x084402, uint32_t(PS_ACTVST), off);
        drv.write_C331(fd, 0x084602, uint32_t(och.height + 1), off);
    }

    drv.write_C331(fd, 0x035E04, 0x76543210, 0);
    drv.write_C331(fd, 0x036204, 0x76543210, 0);

    // Lane crossbar by splice mode, one channel per output / two.
    static const uint32_t kCrossbar[6][2] = {
        {0x03020100, 0x03020100}, // NONE
        {0x00010000, 0x00010000}, // HV
        {0x00010000, 0x03020100}, // V
        {0x00010000, 0x03020100}, // H
        {0x00000000, 0x01000100}, // CP12
        {0x00010000, 0x00010000}, // CP21
    };
    drv.write_C331(fd, 0x035504, kCrossbar[panel.splice][panel.use1och ? 0 : 1], 0);

    drv.write_C331(fd, 0x032C02, 0, 0);
    drv.write_C331(fd, 0x032E01, 0, 0);
    drv.write_C331(fd, 0x032F02, 0, 0);
    drv.write_C331(fd, 0x020801, 9, 0);
    drv.write_C331(fd, 0x035E04, 0x76543210, 0);
    drv.write_C331(fd, 0x033602, 0, 0);
    drv.write_C331(fd, 0x033801, 0, 0);
    drv.write_C331(fd, 0x033902, 0, 0);
    drv.write_C331(fd, 0x027801, 9, 0);
    drv.write_C331(fd, 0x036204, 0x76543210, 0);
    drv.write_C331(fd, 0x004701, 33, 0);
    drv.write_C331(fd, 0x004C01, 33, 0);
    drv.write_C331(fd, 0x004B01, 11, 0);
    drv.write_C331(fd, 0x005001, 11, 0);
    drv.write_C331(fd, 0x004801, 137, 0);
    drv.write_C331(fd, 0x004D01, 137, 0);
}
