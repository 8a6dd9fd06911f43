// Window geometry and scaling: a window's input rectangle (what it shows of
// its port's picture) and output rectangle (where it lies in its block of
// output channels), the split of the output rectangle over the channels, the
// ratio rule, and the register programming of both sides of a window.
#include "scaler/c331_manage.h"

#include <algorithm>

#include "core/globals.h"
#include "platform/platform.h"
#include "scaler/c331_geometry.h"

using namespace c331geom;

namespace {
// The output colour-conversion and input colour-format codes of a memory
// write mode.
uint32_t colourCode(int mode)
{
    switch (mode) {
    case 1: return 0x80;
    case 2: return 0x01;
    case 3: return 0x11;
    default: return 0;
    }
}
constexpr int kVsyncPolls = 70000;
} // namespace

// ---------------------------------------------------------------------------
// Rectangles

void c331_manage::calc_iwin2(int w)
{
    if (!winOk(w))
        return;
    _ImageWindowDef_st& iw = IWIN[w];
    iw = _ImageWindowDef_st{0, 0, 0, 0};
    const int p = PM_INPUT[w];
    if (PM_WIN_SHAPE[w][0] == 0 || PM_WIN_SHAPE[w][1] == 0 || !portOk(p) || PI_ACT[p].hw == 0 || PI_ACT[p].vw == 0)
        return;
    const int c = mainIch(w);
    const bool deinterlaced = PI_SCAN_MODE[p] == 1 && c >= 0 && c < 4;
    auto fw = [this](int q) { return PI_ACT_FULL[q].hw; };
    auto fh = [this](int q) { return PI_ACT_FULL[q].vw; };
    switch (PM_WIN_DBD_MODE[w]) {
    case DBD_SINGLE_INPUT:
        iw.hw = fw(p);
        iw.vw = deinterlaced ? 2 * fh(p) : fh(p);
        break;
    case DBD_CMOS_IN12: iw.hw = fw(0) + fw(1); iw.vw = fh(0); break;
    case DBD_CMOS_IN34: iw.hw = fw(2) + fw(3); iw.vw = fh(2); break;
    case DBD_CMOS_IN123: iw.hw = fw(0) + fw(1) + fw(2); iw.vw = fh(0); break;
    case DBD_CMOS_IN1234: iw.hw = fw(0) + fw(1) + fw(2) + fw(3); iw.vw = fh(0); break;
    case DBD_CMOS_IN12V: iw.hw = fw(0); iw.vw = fh(0) + fh(1); break;
    case DBD_CMOS_IN34V: iw.hw = fw(2); iw.vw = fh(2) + fh(3); break;
    case DBD_CMOS_IN1234Q: iw.hw = fw(0) + fw(1); iw.vw = fh(0) + fh(2); break;
    case DBD_VBO_IN12: iw.hw = fw(4) + fw(5); iw.vw = fh(4); break;
    case DBD_VBO_IN12V: iw.hw = fw(4); iw.vw = fh(4) + fh(5); break;
    default: {
        const int W = PI_STATE[p] == 1 ? 2 * PI_ACT[p].hw : PI_ACT[p].hw;
        const int H = PI_ACT[p].vw;
        if (PM_INPUT_OFFSET_EN[w]) {
            const int32_t* m = PM_INPUT_OFFSET[w];
            const int HH = PI_SCAN_MODE[p] == 1 ? 2 * H : H;
            iw.hst = m[0] >= W ? 0 : m[0];
            iw.hw = W - m[0] - m[1];
            if (iw.hw < 1)
                iw.hw = W;
            iw.vst = m[2] >= HH ? 0 : m[2];
            iw.vw = HH - m[2] - m[3];
            if (iw.vw < 1)
                iw.vw = HH;
        } else {
            iw.hw = W;
            iw.vw = deinterlaced ? 2 * H : H;
        }
        break;
    }
    }
    VYX_DEBUG("calc_iwin2 IWIN[%d]  HST=%4d  HW=%4d  VST=%4d  VW=%4d\n", w, iw.hst, iw.hw, iw.vst, iw.vw);
}

void c331_manage::calc_owin2(int w)
{
    if (!winOk(w))
        return;
    _ImageWindowDef_st& ow = OWIN[w];
    _ImageWindowDef_st& iw = IWIN[w];
    ow = _ImageWindowDef_st{0, 0, 0, 0};
    if (PM_WIN_SHAPE[w][0] > 0)
        ow.hw = PS_ACTHW * PM_WIN_SHAPE[w][0];
    if (PM_WIN_SHAPE[w][1] > 0)
        ow.vw = PS_ACTVW * PM_WIN_SHAPE[w][1];
    const int32_t* m = PM_WIN_OFFSET[w];
    ow.hst += m[0];
    ow.hw -= m[0] + m[1];
    ow.vst += m[2];
    ow.vw -= m[2] + m[3];
    if (PM_WIN_DBD_MODE[w] != DBD_DISABLE) {
        if (dbd_clip[w]) {
            iw.hw = std::min(iw.hw, ow.hw);
            iw.vw = std::min(iw.vw, ow.vw);
            if (iw.hw < 1)
                ow.hw = iw.hw;
            if (iw.vw < 1)
                ow.vw = iw.vw;
        } else {
            // Shown 1:1, cut to the smaller of picture and window.
            if (iw.hw > ow.hw)
                iw.hw = ow.hw;
            else
                ow.hw = iw.hw;
            if (iw.vw > ow.vw)
                iw.vw = ow.vw;
            else
                ow.vw = iw.vw;
        }
    }
    // No negative size reaches a register, dot-by-dot or not.
    ow.hw = std::max(0, ow.hw);
    ow.vw = std::max(0, ow.vw);
    iw.hw = std::max(0, iw.hw);
    iw.vw = std::max(0, iw.vw);
    VYX_DEBUG("calc_owin2 OWIN[%d]  HST=%4d  HW=%4d  VST=%4d  VW=%4d\n", w, ow.hst, ow.hw, ow.vst, ow.vw);
}

namespace {
// One axis of calc_oact: the share of [start, start + size) in each of n
// tiles of `tile` pixels.
void splitAxis(int start, int size, int tile, int n, int32_t* st, int32_t* len, int32_t* first, int32_t* last,
               size_t stride)
{
    int firstUsed = -1, lastUsed = -1;
    for (int j = 0; j < n; ++j) {
        const int64_t T = int64_t(j) * tile, r = start - T;
        int64_t s = 0, l = 0;
        if (r < tile) {
            const bool spills = int64_t(start) + size > T + tile - 1;
            if (r < 0) {
                s = 0;
                l = spills ? tile : std::max<int64_t>(0, int64_t(start) + size - T);
            } else {
                s = r;
                l = spills ? tile - r : size;
            }
        }
        st[j * stride] = int32_t(s);
        len[j * stride] = int32_t(l);
        if (l != 0) {
            if (firstUsed < 0)
                firstUsed = j;
            lastUsed = j;
        }
    }
    for (int j = 0; j < n; ++j) {
        first[j * stride] = j == firstUsed;
        last[j * stride] = j == lastUsed;
    }
}
} // namespace

void c331_manage::calc_oact(_ImageWindowDef_st owin, _ImageWindowDef2_St* out, int w)
{
    *out = _ImageWindowDef2_St{};
    if (!winOk(w))
        return;
    const int cols = std::min(8, PM_WIN_SHAPE[w][0]), rows = std::min(8, PM_WIN_SHAPE[w][1]);
    const size_t stride = sizeof(_ImageWindowDef2_Entry) / sizeof(int32_t);
    _ImageWindowDef2_Entry* e = out->e;
    if (cols > 0)
        splitAxis(owin.hst, owin.hw, PS_ACTHW, cols, &e->hst, &e->hw, &e->hfirst, &e->hlast, stride);
    if (rows > 0)
        splitAxis(owin.vst, owin.vw, PS_ACTVW, rows, &e->vst, &e->vw, &e->vfirst, &e->vlast, stride);
}

void c331_manage::calc_scaling(_ImageWindowDef_st in, _ImageWindowDef_st out, _ScalingSt* s)
{
    *s = _ScalingSt{0, 0, 0, 0, 0, 0};
    auto axis = [](int64_t i, int64_t o, int32_t* mode, int32_t* shrink, int32_t* zoom) {
        if (i > 0 && o > 0 && o < i) {
            *mode = 1;
            *shrink = int32_t(step(o, i));
        } else if (i > 0 && o > 0 && i < o) {
            *mode = 2;
            *zoom = int32_t(step(i, o));
        }
    };
    axis(in.hw, out.hw, &s->hmode, &s->hshrink, &s->hzoom);
    axis(in.vw, out.vw, &s->vmode, &s->vshrink, &s->vzoom);
}

void c331_manage::get_och(int w, int out[8])
{
    for (int a = 0; a < 8; ++a) {
        out[a] = -1;
        for (int k = 0; k < kOutChannels; ++k)
            if (PM_WIN_NUM[k] == w && PM_AREA_NUM[k] == a)
                out[a] = k;
    }
}

// ---------------------------------------------------------------------------
// Input side

void c331_manage::set_display_window_ich(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w)
{
    const int c = mainIch(w);
    if (c < 0 || c >= kInChannels)
        return;
    const int p = PM_INPUT[w];
    if (!portOk(p))
        return;
    int channels = 0;
    while (channels < kInChannels && win_ich[w][channels] >= 0)
        ++channels;
    const bool twoPaths = channels >= 2 && c + 1 < kInChannels;
    // Two halves of the port's line, one per path.
    const bool split = twoPaths && PI_STATE[p] < 4;
    // The channels capture the window's port.
    set_ichsel(fd, w);
    set_idual(fd, c, split ? 1 : 0, p);

    PM_MEM_WMODE[w] = PI_SCAN_MODE[p] == 1 ? 2 : PS_MEM_WMODE[w];
    const _ImageWindowDef_st& act = PI_ACT[p];
    const int half = act.hw;

    int64_t hf = kOne, vf = kOne, outHalf = 0, runout = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        hf = shrinkStep(in.hw, out.hw);
        vf = shrinkStep(in.vw, out.vw);
        outHalf = runout = 0;
        if (hf >= kOne || PI_STATE[p] >= 4)
            break;
        // The first half's output is an even number of pixels; the input it
        // needs beyond the half is the run-out.
        outHalf = (int64_t(half) * hf + kOne - 1) >> 16;
        outHalf += outHalf & 1;
        const int64_t need = outHalf > 0 ? ((outHalf - 1) * kOne + hf - 1) / hf + 1 : 0;
        runout = std::max<int64_t>(0, need - half);
        const int mode = PM_MEM_WMODE[w];
        int next = mode;
        if (mode != 0 && runout >= 3)
            next = 0;
        else if (mode == 0 && PS_MEM_WMODE[w] != 0 && runout <= 2)
            next = PS_MEM_WMODE[w];
        if (next == mode)
            break;
        VYX_DEBUG("\n *** YUV CHG DET win=%d [%d] to [%d]\n", w, mode, next);
        PM_MEM_WMODE[w] = next;
    }
    const int mode = PM_MEM_WMODE[w];
    const bool hShrink = hf < kOne, vShrink = vf < kOne;
    const int hPhase = hShrink ? shrinkPhase(in.hst, hf) : 0;
    const int vPhase = vShrink ? shrinkPhase(in.vst, vf) : 0;
    // A guard band of 7 pixels before the active start, never before the line.
    const int start = std::max(0, act.hst + PM_IACTHST[w] - 7);
    const int vstart = act.vst + PM_IACTVST[w] + 1;

    auto path = [&](int ich, uint32_t sync, int width, int phase, int64_t memAdd) {
        const int off = 16 * ich;
        c331_drv& drv = *p_c331_drv;
        drv.write_C331(fd, 0x100901, sync, off);
        drv.write_C331(fd, 0x101702, uint32_t(start), off);
        drv.write_C331(fd, 0x101902, uint32_t(std::max(0, width)), off);
        drv.write_C331(fd, 0x101B02, uint32_t(vstart), off);
        drv.write_C331(fd, 0x101D02, uint32_t(act.vw), off);
        drv.write_C331(fd, 0x114201, uint32_t((hShrink ? 1 : 0) | (vShrink ? 2 : 0)) << 3, off);
        drv.write_C331(fd, 0x114401, hShrink ? 199 : 0x80, off);
        drv.write_C331(fd, 0x114702, hShrink ? uint32_t(hf) : 0, off);
        drv.write_C331(fd, 0x114901, vShrink ? 0x84 : 0x80, off);
        drv.write_C331(fd, 0x114C02, vShrink ? uint32_t(vf) : 0, off);
        drv.write_C331(fd, 0x114301, 2, off);
        drv.write_C331(fd, 0x114501, phase != 0 ? 1 : 0, off);
        drv.write_C331(fd, 0x114601, uint32_t(phase), off);
        drv.write_C331(fd, 0x114A01, vPhase != 0 ? 1 : 0, off);
        drv.write_C331(fd, 0x114B01, uint32_t(vPhase), off);
        for (int b = 0; b < 5; ++b)
            drv.write_C331(fd, 0x161C04 + (uint32_t(4 * b) << 8), uint32_t(PS_MEM_SC[c][b] + memAdd), off);
        drv.write_C331(fd, 0x163101, uint32_t(PS_MEM_UNITS), off);
        drv.write_C331(fd, 0x166603, packBuffers(win_bufs[w]), off);
    };
    path(c, 1, split ? int(half + runout) : act.hw, hPhase, 0);
    if (split) {
        // The second half continues the first one's phase, in memory right
        // after the first half's line: its shrunk output, or the half
        // itself when it is stored as captured (shown 1:1 or zoomed).
        const int phase2 = hShrink ? shrinkPhase(int64_t(in.hst) + half, hf) : 0;
        path(c + 1, uint32_t((c & ~1) + 8), half, phase2, lineSize(hShrink ? outHalf : half, mode));
    }

    set_lut_hshrnk(fd, hShrink ? int(hf) : 0, c, split);
    set_lut_vshrnk_4sym(fd, vShrink ? int(vf) : 0, c, split);
    set_iscwct(fd, w);
    set_mct(fd, w, 0);
    set_ip(fd, c);
}

// ---------------------------------------------------------------------------
// Output side

void c331_manage::set_display_window_och(int fd, _ImageWindowDef_st in, _ImageWindowDef_st out, int w)
{
    if (!winOk(w))
        return;
    int lead = w, partner = -1;
    check_stitching_win(&lead, &partner);
    const int p = PM_INPUT[w];
    const bool multiPort = vyxApi_GetWinDbdMultiPort(w) == 1;
    const bool dbdLarge = PM_WIN_DBD_MODE[w] == DBD_SINGLE_INPUT && portOk(p) && check_dbd_input(fd, p) == 1;
    const bool ownBuffers = multiPort || dbdLarge;

    _ImageWindowDef2_St tiles;
    calc_oact(out, &tiles, w);
    _ScalingSt s;
    calc_scaling(in, out, &s);
    int list[8];
    get_och(w, list);

    const int cols = std::min(8, PM_WIN_SHAPE[w][0]), rows = std::min(8, PM_WIN_SHAPE[w][1]);
    if (cols <= 0 || rows <= 0)
        return;
    const int c = mainIch(w);
    const int group = winOk(stitch_grp[w]) ? stitch_grp[w] : w;
    const int mode = PM_MEM_WMODE[group];
    const int pitch = ownBuffers ? win_dbd_units[w] : PS_MEM_UNITS;
    const bool vflip = PM_WIN_VMIRROR[w] && vmirror_ok[w];
    const bool hflip = PM_WIN_HMIRROR[w] != 0;
    const uint32_t* bases = ownBuffers ? win_dbd_sc[w] : (c >= 0 && c < kInChannels ? PS_MEM_SC[c] : nullptr);

    int k0 = -1;
    bool zeroW = false, zeroH = false;
    for (int j = 0; j < cols * rows && j < 8; ++j) {
        const int k = list[j];
        if (k < 0)
            continue;
        if (k0 < 0)
            k0 = k;
        const _ImageWindowDef2_Entry& col = tiles.e[j % cols];
        const _ImageWindowDef2_Entry& row = tiles.e[j / cols];
        zeroW |= col.hw + PS_ACTHST < 10;
        zeroH |= row.vw + PS_ACTVST < 3;
    }

    // Where each column and row starts reading in frame memory.
    struct Read {
        int64_t first = 0; // first memory pixel / line
        int skip = 0;      // pixels read before the tile's share
        int phase = 0;
    };
    Read colRead[8], rowRead[8];
    const bool hZoom = s.hmode == 2, vZoom = s.vmode == 2;
    const int64_t lineW = hZoom ? in.hw : out.hw;
    const int64_t lineH = vZoom ? in.vw : out.vw;
    const int64_t firstPixel = s.hmode == 1 ? (int64_t(in.hst) * s.hshrink) >> 16 : in.hst;
    const int64_t firstLine = s.vmode == 1 ? (int64_t(in.vst) * s.vshrink) >> 16 : in.vst;
    int64_t sum = 0;
    for (int i = 0; i < cols; ++i) {
        Read& r = colRead[i];
        int64_t pos = sum, share = tiles.e[i].hw;
        if (hZoom) {
            const int64_t prod = int64_t(s.hzoom) * sum;
            pos = prod >> 16;
            if ((prod & 0xFFFF) >= s.hzoom)
                ++pos;
            r.phase = int(std::min<int64_t>(255, ((prod & 0xFFFF) + 128) >> 8));
            r.skip = i > 0 && pos >= 5 ? 4 : 0;
            share = ((int64_t(s.hzoom) * tiles.e[i].hw) >> 16) + r.skip + (i < cols - 1 ? 4 : 0);
            share = std::max<int64_t>(16, share);
        }
        const int64_t from = pos - r.skip;
        r.first = hflip ? std::max<int64_t>(0, lineW - from - share) : from;
        r.first += firstPixel;
        sum += tiles.e[i].hw;
    }
    sum = 0;
    for (int i = 0; i < rows; ++i) {
        Read& r = rowRead[i];
        int64_t line = sum;
        if (vZoom) {
            const int64_t prod = int64_t(s.vzoom) * sum;
            line = prod >> 16;
            r.phase = int(std::min<int64_t>(255, ((prod & 0xFFFF) + 128) >> 8));
        }
        // Read upward from the tile's last line when flipped.
        r.first = firstLine + (vflip ? std::max<int64_t>(0, lineH - 1 - line) : line);
        sum += tiles.e[i].vw;
    }

    auto writeAddresses = [&](int k, int i, int r) {
        if (!bases)
            return;
        const int64_t offset = memPos(colRead[i].first, mode) + rowRead[r].first * pitch * 1024;
        for (int b = 0; b < 5; ++b)
            p_c331_drv->write_C331(fd, 0x160804 + (uint32_t(4 * b) << 8), uint32_t(bases[b] + offset), 16 * k);
    };

    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < cols; ++i) {
            const int k = list[r * cols + i];
            if (k < 0 || k >= kOutChannels)
                continue;
            const int off = 16 * k;
            const _ImageWindowDef2_Entry& tc = tiles.e[i];
            const _ImageWindowDef2_Entry& tr = tiles.e[r];
            const bool content = tc.hw > 0 && tr.vw > 0;
            c331_drv& drv = *p_c331_drv;
            // The first channel reads the input channel's memory; the others
            // follow the first channel.
            const uint32_t sel = k == 0 ? 1 : 0x11;
            const uint32_t src = k == k0 ? uint32_t(c >= 0 && c < kInChannels ? c : 0xF) << 8
                                         : uint32_t(k0 & 0xF) << 8 | 0x1000;
            drv.write_C331(fd, 0x080802, src | sel, off);
            writeAddresses(k, i, r);
            drv.write_C331(fd, 0x163001, uint32_t(vflip ? 0x100 - pitch : pitch) & 0xFF, off);
            drv.write_C331(fd, 0x084002, uint32_t(tc.hst + PS_ACTHST), off);
            drv.write_C331(fd, 0x084202, zeroW ? 0 : uint32_t(tc.hw), off);
            drv.write_C331(fd, 0x084402, uint32_t(tr.vst + PS_ACTVST), off);
            drv.write_C331(fd, 0x084602, zeroH ? 0 : uint32_t(tr.vw), off);
            drv.write_C331(fd, 0x082201, hflip ? 1 : 0, off);
            drv.write_C331(fd, 0x083202, uint32_t(tc.hst + PS_OAOIHST), off);
            drv.write_C331(fd, 0x0A4401, uint32_t((hZoom ? 1 : 0) | (vZoom ? 2 : 0)), off);
            drv.write_C331(fd, 0x0A4601, content ? 199 : 0x47, off);
            drv.write_C331(fd, 0x0A4701, uint32_t(colRead[i].phase), off);
            drv.write_C331(fd, 0x0A4801, uint32_t(colRead[i].skip), off);
            drv.write_C331(fd, 0x0A4902, hZoom ? uint32_t(s.hzoom) : 0, off);
            drv.write_C331(fd, 0x0A4B01, uint32_t(rowRead[r].phase), off);
            drv.write_C331(fd, 0x0A4C01, 0, off);
            drv.write_C331(fd, 0x0A4D01, 0, off);
            drv.write_C331(fd, 0x0A4E02, vZoom ? uint32_t(s.vzoom) : 0, off);
            set_oscwct(fd, k);
            set_lut_vzoom_4sym(fd, vZoom ? s.vzoom : 0, k);
            VYX_DEBUG("och %d: hzmempos %lld sub_pix_st %d width_total %lld hz_scl %d\n", k,
                      (long long)colRead[i].first, colRead[i].phase, (long long)lineW, s.hzoom);
        }
    }
    // The read addresses once more, after the rest of the tile.
    for (int r = 0; r < rows; ++r)
        for (int i = 0; i < cols; ++i)
            if (list[r * cols + i] >= 0 && list[r * cols + i] < kOutChannels)
                writeAddresses(list[r * cols + i], i, r);
}

void c331_manage::set_oscwct(int fd, int k)
{
    if (k < 0 || k >= kOutChannels)
        return;
    const int w = PM_WIN_NUM[k];
    uint32_t code = 0;
    if (winOk(w)) {
        const int group = winOk(stitch_grp[w]) ? stitch_grp[w] : w;
        code = colourCode(PM_MEM_WMODE[group]);
    }
    p_c331_drv->write_C331(fd, 0x006901 + 0x100u * unsigned(k), code, 0);
}

void c331_manage::wait1_povs(int fd, int k)
{
    if (k < 0 || k >= kOutChannels)
        return;
    const uint32_t bit = 1u << k;
    c331_drv& drv = *p_c331_drv;
    drv.write_C331(fd, 0x050901, bit, 0);
    drv.write_C331(fd, 0x002901, 0x80, 0);
    if (!(drv.read_C331(fd, 0x052E01, 0) & bit)) {
        // No output clock: give up after about 70 s, unreported.
        for (int i = 0; i < kVsyncPolls; ++i) {
            platform::pause_ms(1);
            if (drv.read_C331(fd, 0x052E01, 0) & bit)
                break;
        }
    }
    drv.write_C331(fd, 0x050901, 0, 0);
    drv.write_C331(fd, 0x002901, 0, 0);
}

// ---------------------------------------------------------------------------
// Stitching

int c331_manage::check_stitching_win(int* w, int* partner)
{
    *partner = -1;
    if (!winOk(*w))
        return 0;
    auto follower = [this](int leader) {
        if (!winOk(leader) || stitch_grp[leader] != leader)
            return -1;
        for (int v = 0; v < kWindows; ++v)
            if (v != leader && stitch_grp[v] == leader)
                return v;
        return -1;
    };
    int v = follower(*w);
    if (v >= 0) {
        *partner = v;
        return 1;
    }
    const int m = stitch_grp[*w];
    if (m != *w && winOk(m)) {
        *w = m;
        v = follower(m);
        if (v >= 0) {
            *partner = v;
            return 2;
        }
    }
    return 0;
}

void c331_manage::check_stitching_chg()
{
    for (int w = 0; w < kWindows; ++w) {
        int lead = w, partner = -1;
        check_stitching_win(&lead, &partner);
        if (g_chg_stitch[w][0] || g_chg_stitch[w][1])
            g_chg_win[w] = 1;
        g_chg_stitch[w][1] = 0;
    }
}
