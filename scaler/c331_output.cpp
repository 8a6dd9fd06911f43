// Window output: the relayout every window change ends in, the window
// setters the dispatcher calls, the layer mixers, the fade and the freeze.
#include "scaler/c331_manage.h"

#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "scaler/c331_geometry.h"

using namespace ram;

namespace {
constexpr int kWideLimit = 2176; // widest line one output scaler reads in transmitter mode 2
constexpr int kFreezeRounds = 251;
constexpr int kCoefMixers = 4;   // mixers with blend coefficients
constexpr int kFull = 128;       // blend coefficient 1.0

// Highest present layer (1..4) of a presence case, 0 for none.
int topLayer(int presence)
{
    for (int l = 4; l >= 1; --l)
        if (presence & (1 << (l - 1)))
            return l;
    return 0;
}

uint16_t imageWord(int offset)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store ? le16(store->ram_para + offset) : 0;
}
} // namespace

// ---------------------------------------------------------------------------
// Relayout

void c331_manage::set_output(int fd)
{
    auto changed = [this](int w) { return g_chg_win[w] || g_chg_input[w] || g_chg_dbd[w]; };

    // 1-2. Input channels: released for absent windows, taken for changed ones.
    for (int w = 0; w < kWindows; ++w)
        reset_ich(w);
    for (int w = 0; w < kWindows; ++w) {
        const bool switched = g_chg_input[w] == 1 || g_chg_input[w] == 3;
        // A new layout may give a window another port or dot-by-dot mode:
        // channels taken for the old one are taken anew.
        if (switched || g_chg_dbd[w] || (g_chg_win[w] && (win_ich[w][0] < 0 || channelsStale(w)))) {
            if (set_input(w, PM_INPUT[w]) == 2) {
                g_chg_input[w] = 0;
                g_chg_dbd[w] = 0;
            }
        }
    }

    // 3. A fade only for one window switching source with fade on and
    // nothing else changing.
    int fades = 0, wf = -1;
    for (int w = 0; w < kWindows; ++w)
        if (g_chg_input[w] == 1 && PM_WIN_FADE_EN[w]) {
            ++fades;
            wf = w;
        }
    check_stitching_chg();
    for (int w = 0; w < kWindows; ++w)
        if (g_chg_input[w] == 2 || g_chg_input[w] == 3 || g_chg_dbd[w] || g_chg_win[w] ||
            (g_chg_input[w] == 1 && !PM_WIN_FADE_EN[w]))
            fades = 0;
    const bool fade = fades == 1 && !g_chg_priority;

    // 4. The screen holds still meanwhile.
    if (fade) {
        traceOp("  set_layer_coef(%d,%d,0)", wf, PM_WIN_FADE_OUT[wf]);
        set_layer_coef(fd, wf, PM_WIN_FADE_OUT[wf], 0);
    } else {
        traceOp("  set_freeze(1)");
        set_freeze(fd, 1);
    }

    // 5. Input side of every changed window.
    for (int w = 0; w < kWindows; ++w) {
        vmirror_ok[w] = 1;
        if (!changed(w))
            continue;
        traceOp("  input side of window %d", w);
        win_wide[w] = 0;
        calc_iwin2(w);
        calc_owin2(w);
        if (PM_WIN_DBD_MODE[w] != DBD_DISABLE) {
            set_display_window_ich_dbd(fd, w, PM_WIN_DBD_MODE[w]);
            continue;
        }
        _ImageWindowDef_st o = OWIN[w];
        if (PS_VBOTX_MODE == 2 && IWIN[w].vw < OWIN[w].vw) {
            vmirror_ok[w] = 0;
            if (IWIN[w].hw > kWideLimit && OWIN[w].hw > kWideLimit) {
                o.hw = kWideLimit;
                win_wide[w] = 1;
            }
        }
        set_display_window_ich(fd, IWIN[w], o, w);
    }

    // 6.
    traceOp("  reset_act(0), wait1_pivs2(), set_rtct(2)");
    reset_act(fd, 0);
    wait1_pivs2(fd);
    set_rtct(fd, 2);

    // 7. Output side.
    for (int w = 0; w < kWindows; ++w) {
        if (!changed(w) && !g_chg_attr[w] && !g_chg_mirror[w])
            continue;
        traceOp("  output side of window %d", w);
        _ImageWindowDef_st in = IWIN[w];
        if (win_wide[w])
            in.hw = kWideLimit;
        set_display_window_och(fd, in, OWIN[w], w);
        set_input_bkg2(fd, w, 0);
    }

    // 8. Layers.
    if (g_chg_priority || g_chg_overlay) {
        traceOp("  layers: set_overlay(), reset_layer_coef(0)");
        update_overlay_info();
        set_overlay(fd);
        reset_layer_coef(fd, 0);
        g_chg_priority = g_chg_overlay = 0;
    }

    // 9-11.
    traceOp("  reset_act(1)");
    reset_act(fd, 1);
    if (fade) {
        traceOp("  set_layer_coef(%d,%d,1)", wf, PM_WIN_FADE_IN[wf]);
        set_layer_coef(fd, wf, PM_WIN_FADE_IN[wf], 1);
    } else {
        traceOp("  set_freeze(0)");
        set_freeze(fd, 0);
    }
    traceOp("  set_rtct(1)");
    set_rtct(fd, 1);

    // 12. The channel map the next relayout starts from.
    std::memcpy(prev_PM_WIN_NUM, PM_WIN_NUM, sizeof prev_PM_WIN_NUM);
    std::memcpy(prev_win_ich, win_ich, sizeof prev_win_ich);

    // 13.
    for (int w = 0; w < kWindows; ++w) {
        const int mode = PM_WIN_DBD_MODE[w];
        if (mode <= 0 || (mode == DBD_SINGLE_INPUT && (!portOk(PM_INPUT[w]) || check_dbd_input(fd, PM_INPUT[w]) == 0)))
            reset_dbd_mem(w);
    }

    // 14.
    for (int w = 0; w < kWindows; ++w) {
        g_chg_win[w] = g_chg_input[w] = g_chg_dbd[w] = g_chg_attr[w] = g_chg_mirror[w] = 0;
        g_chg_stitch[w][0] = 0;
    }
}

// ---------------------------------------------------------------------------
// Window setters

void c331_manage::c331_SetWinOutput(int fd, char w, int data)
{
    if (!winOk(w))
        return;
    ST_WIN_INFO& info = pwinfo[int(w)];
    const int now = data & (kOutBlack | kOutFreeze);
    const int was = info.output;
    if ((now ^ was) & kOutBlack) {
        info.output = uint8_t((info.output & ~kOutBlack) | (now & kOutBlack));
        VYX_DEBUG("\t change win_%d output:%s\n", int(w), (now & kOutBlack) ? "Black" : "Normal");
        set_input_bkg2(fd, w, now & kOutBlack);
    }
    if ((now ^ was) & kOutFreeze) {
        info.output = uint8_t(info.output & ~kOutFreeze);
        const int p = PM_INPUT[int(w)];
        if (!portOk(p) || PI_PORT_INFO[p].nosig == 1) {
            VYX_DEBUG("\t change win_%d no signal, disable freeze\n", int(w));
        } else {
            // A freeze touches nothing else: no fade, no dot-by-dot, no relayout.
            info.output = uint8_t(info.output | (now & kOutFreeze));
            win_freeze_sel(fd, w, data);
            return;
        }
    }
    PM_WIN_FADE_EN[int(w)] = (data & kOutFade) ? 1 : 0;
    if (data & kOutDotByDot) {
        PM_WIN_DBD_MODE[int(w)] = dbdCode(imageWord(imageRecord(w) + kImgDotMode));
    } else {
        PM_WIN_DBD_MODE[int(w)] = DBD_DISABLE;
        VYX_DEBUG("\t change win_%d DBD_MODE: DBD_DISABLE\n", int(w));
    }
    g_chg_dbd[int(w)] = 1;
    set_output(fd);
}

void c331_manage::c331_SetWinDbdMode(int fd, char w, int mode)
{
    if (!winOk(w))
        return;
    // The code waits for dot-by-dot to be switched on (the output word reads
    // it then): stored now it would turn dot-by-dot on at the next relayout.
    if (!(imageWord(imageRecord(w) + kImgOutput) & kOutDotByDot))
        return;
    PM_WIN_DBD_MODE[int(w)] = dbdCode(mode);
    g_chg_dbd[int(w)] = 1;
    set_output(fd);
}

void c331_manage::c331_SetWinAttr(char w, int data)
{
    if (!winLoaded(w))
        return;
    const int attr = data & 3;
    pwinfo[int(w)].rotate = uint8_t(attr);
    PM_WIN_HMIRROR[int(w)] = attr & 1;
    PM_WIN_VMIRROR[int(w)] = (attr >> 1) & 1;
    g_chg_attr[int(w)] = 1;
    set_output(c331_fd);
}

void c331_manage::c331_SetWinPriority(int w, int pri)
{
    if (!winOk(w))
        return;
    pwinfo[w].layer = uint8_t(pri > 5 || pri < 0 ? unsigned(pri) % 6u : unsigned(pri));
    g_chg_priority = 1;
}

void c331_manage::c331_SetWinPriority1(int fd)
{
    for (int w = 0; w < kWindows; ++w) {
        VYX_DEBUG("\t win_%d, vyx_layer_%d ==> ", w, win_layer[w]);
        win_layer[w] = winLoaded(w) ? 5 - pwinfo[w].layer : 0;
        VYX_DEBUG("layer_%d\n", win_layer[w]);
    }
    traceOp("  layers: set_overlay(), reset_layer_coef(0)");
    update_overlay_info();
    set_overlay(fd);
    reset_layer_coef(fd, 0);
}

void c331_manage::win_freeze_sel(int fd, int w, int data)
{
    const int c = mainIch(w);
    if (c >= 0 && c < kInChannels)
        p_c331_drv->write_C331(fd, 0x100901, (data & kOutFreeze) ? 2 : 1, 16 * c);
}

// ---------------------------------------------------------------------------
// Layers

void c331_manage::update_overlay_info()
{
    for (int w = 0; w < kWindows; ++w) {
        int n = 0;
        for (int k = 0; k < kOutChannels; ++k)
            win_och[w][k] = -1;
        for (int k = 0; k < kOutChannels; ++k)
            if (PM_WIN_NUM[k] == w)
                win_och[w][n++] = k;
    }
    // A channel without a window sorts to the back.
    auto layerOf = [this](int k) { return winOk(PM_WIN_NUM[k]) ? win_layer[PM_WIN_NUM[k]] : -1; };
    for (int m = 1; m <= kOutChannels; ++m) {
        int32_t* list = mix_layers[m - 1];
        int n = 0;
        for (int k = 0; k < kOutChannels; ++k)
            list[k] = -1;
        for (int k = 0; k < kOutChannels; ++k)
            if (PM_OVERLAY[k] == m)
                list[n++] = k;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j + 1 < n - i; ++j)
                if (layerOf(list[j]) > layerOf(list[j + 1]))
                    std::swap(list[j], list[j + 1]);
        mix_count[m - 1] = n;
    }
}

void c331_manage::set_overlay(int fd)
{
    for (int m = 0; m < kOutChannels; ++m) {
        uint32_t word = 0;
        for (int i = 0; i < mix_count[m] && i < 8; ++i)
            word |= uint32_t(8 + mix_layers[m][i]) << (4 * i);
        p_c331_drv->write_C331(fd, 0x0E0904, word, 0x10 * m);
    }
}

void c331_manage::reset_layer_coef(int fd, int mode)
{
    const uint32_t modeWord = mode == 1 ? 256 : mode == 2 ? 512 : 0;
    for (int m = 0; m < kCoefMixers; ++m) {
        const bool layers = mix_count[m] > 0;
        for (int j = 0; j < 16; ++j) {
            const int top = topLayer(j);
            for (int l = 0; l <= 4; ++l)
                p_c331_drv->write_C331(fd, 0x0E1101 + 0x500u * unsigned(j) + 0x100u * unsigned(l),
                                       layers && l == top ? kFull : 0, 0x10 * m);
            p_c331_drv->write_C331(fd, 0x0E0F02, modeWord, 0x10 * m);
        }
    }
}

void c331_manage::set_layer_coef(int fd, int w, int cnt, int dir)
{
    VYX_DEBUG("set_layer_coef  win=%d  cnt=%d  dir=%d\n", w, cnt, dir);
    if (cnt < 0 || !winOk(w))
        return;
    c331_drv& drv = *p_c331_drv;
    for (int i = 0; i <= cnt; ++i) {
        const int a = cnt == 0 ? kFull : i * kFull / cnt;
        const int mine = dir ? a : kFull - a;
        drv.write_C331(fd, 0x002201, 0xFF, 0);
        drv.write_C331(fd, 0x002301, 0xFF, 0);
        for (int m = 0; m < kOutChannels; ++m) {
            int pos = -1;
            for (int p = 0; p < mix_count[m]; ++p)
                if (winOk(PM_WIN_NUM[mix_layers[m][p]]) && PM_WIN_NUM[mix_layers[m][p]] == w)
                    pos = p;
            if (pos < 0)
                continue;
            const int off = 0x10 * m;
            drv.write_C331(fd, 0x0E0F02, pos <= 3 ? 0 : pos == 4 ? 256 : 512, off);
            const int layer = std::min(pos, 3) + 1;
            for (int j = 0; j < 16; ++j) {
                if (topLayer(j) != layer)
                    continue;
                const int below = topLayer(j & ((1 << (layer - 1)) - 1));
                drv.write_C331(fd, 0x0E1101 + 0x500u * unsigned(j) + 0x100u * unsigned(layer), uint32_t(mine), off);
                drv.write_C331(fd, 0x0E1101 + 0x500u * unsigned(j) + 0x100u * unsigned(below), uint32_t(kFull - mine),
                               off);
            }
        }
        drv.write_C331(fd, 0x002201, 0xA9, 0);
        drv.write_C331(fd, 0x002301, 0xCB, 0);
        wait1_povs(fd, 0);
    }
}

// ---------------------------------------------------------------------------
// Freeze

void c331_manage::set_freeze(int fd, int on)
{
    c331_drv& drv = *p_c331_drv;
    if (!on) {
        for (int w = 0; w < kWindows; ++w) {
            // A window that was not frozen reads where it read: its buffers
            // have not moved, and its channels are left alone.
            if (!win_frozen[w])
                continue;
            const int group = winOk(stitch_grp[w]) ? stitch_grp[w] : w;
            const int32_t* b = win_bufs[group];
            // Read one buffer behind the writer.
            const uint32_t word = uint32_t(b[3] & 7) | uint32_t(b[0] & 7) << 4 | uint32_t(b[1] & 7) << 8 |
                                  uint32_t(b[2] & 7) << 12;
            for (int k = 0; k < kOutChannels; ++k)
                if (PM_WIN_NUM[k] == w)
                    drv.write_C331(fd, 0x166C02, word, 16 * k);
            win_frozen[w] = 0;
        }
        return;
    }

    struct Held {
        int w, c;
        bool done;
    };
    Held held[kWindows];
    int n = 0;
    // A changed window with no input channel has nothing to hold; it does
    // not keep the others from being held, the first of which sets the pace.
    for (int w = 0; w < kWindows; ++w) {
        if (!(g_chg_win[w] || g_chg_input[w] || g_chg_dbd[w]))
            continue;
        const int c = prev_win_ich[w][0] >= 0 ? prev_win_ich[w][0] : win_ich[w][0];
        if (c >= 0 && c < kInChannels)
            held[n++] = Held{w, c, false};
    }
    set_rtct(fd, 0);
    if (n == 0)
        return;

    auto writing = [&](int c) { return int((drv.read_C331(fd, 0xAB4701 + 0x100u * unsigned(c), 0) & 0xF) >> 2); };
    const int c0 = held[0].c;
    drv.write_C331(fd, 0x100901, 2, 16 * c0);
    const int b0 = writing(c0);
    held[0].done = true;
    // The others stop once they write the same buffer.
    for (int round = 0; round < kFreezeRounds; ++round) {
        bool pending = false;
        for (int i = 1; i < n; ++i) {
            Held& h = held[i];
            if (h.done)
                continue;
            if (writing(h.c) == b0) {
                drv.write_C331(fd, 0x100901, 2, 16 * h.c);
                h.done = true;
            } else {
                pending = true;
            }
        }
        if (!pending)
            break;
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < kInChannels && prev_win_ich[held[i].w][j] >= 0; ++j)
            drv.write_C331(fd, 0x000801 + 0x100u * unsigned(prev_win_ich[held[i].w][j]), 1, 0);
    wait1_povs(fd, 0);

    // The last complete buffer becomes the spare that holds the frame.
    int32_t* first = win_bufs[held[0].w];
    std::swap(first[(b0 + 3) & 3], first[4]);
    for (int i = 0; i < n; ++i) {
        int32_t* bufs = win_bufs[held[i].w];
        if (i > 0)
            std::copy(first, first + 5, bufs);
        win_frozen[held[i].w] = 1;
        const uint32_t word = c331geom::packBuffers(bufs);
        for (int j = 0; j < kInChannels && prev_win_ich[held[i].w][j] >= 0; ++j)
            drv.write_C331(fd, 0x166603, word, 16 * prev_win_ich[held[i].w][j]);
        if (prev_win_ich[held[i].w][0] < 0)
            drv.write_C331(fd, 0x166603, word, 16 * held[i].c);
    }
    const uint32_t s = uint32_t(first[4] & 7);
    for (int k = 0; k < kOutChannels; ++k)
        for (int i = 0; i < n; ++i)
            if (prev_PM_WIN_NUM[k] == held[i].w)
                drv.write_C331(fd, 0x166C02, s | s << 4 | s << 8 | s << 12, 16 * k);
}

void c331_manage::reset_act(int fd, int mode)
{
    if (mode == 0 || mode == 2)
        for (int c = 0; c < kInChannels; ++c)
            if (ich_win[c] < 0)
                p_c331_drv->write_C331(fd, 0x101902, 0, 16 * c);
    if (mode == 1 || mode == 2) {
        for (int k = 0; k < kOutChannels; ++k) {
            const int w = PM_WIN_NUM[k];
            const bool used = winOk(w) && PM_WIN_SHAPE[w][0] > 0 && PM_WIN_SHAPE[w][1] > 0 &&
                              PM_AREA_NUM[k] < PM_WIN_SHAPE[w][0] * PM_WIN_SHAPE[w][1];
            if (!used)
                p_c331_drv->write_C331(fd, 0x084202, 0, 16 * k);
        }
    }
}

void c331_manage::vyxApi_forceColorDisable(int fd)
{
    const bool forced = g_force_bkcolor.exchange(2) == 1;
    for (int k = 0; k < kOutChannels; ++k) {
        p_c331_drv->write_C331(fd, 0x084903, 0, 16 * k);
        // The green that bring-up forced on every channel goes as well.
        if (forced) {
            p_c331_drv->write_C331(fd, 0x084E03, 0, 16 * k);
            p_c331_drv->write_C331(fd, 0x084D01, 0, 16 * k);
        }
    }
    // A window whose input has no signal shows its background instead.
    for (int w = 0; w < kWindows; ++w) {
        if (!winLoaded(w))
            continue;
        const int port = PM_INPUT[w];
        const bool noSignal = !portOk(port) || PI_PORT_INFO[port].nosig == 1;
        const ST_WIN_INFO& info = pwinfo[w];
        for (int j = 0; j < info.hcnt * info.vcnt && j < 8; ++j)
            if (info.och[j] < kOutChannels)
                p_c331_drv->write_C331(fd, 0x084801, noSignal ? 1 : 0, 16 * info.och[j]);
    }
}
