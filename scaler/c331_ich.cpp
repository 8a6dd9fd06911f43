// Input channels and dot-by-dot capture: how many of the chip's eight input
// channels each window needs, which it gets (moving other windows' channels
// to make room), which port each channel captures, and the frame memory and
// capture rectangles of windows shown dot by dot, some fed by several ports.
//
// Channels work in pairs (0,1), (2,3), (4,5), (6,7); only 0..3 deinterlace.
// A V-by-One port needs a whole pair: its lines arrive in two halves.
#include "scaler/c331_manage.h"

#include <algorithm>

#include "core/globals.h"
#include "scaler/c331_geometry.h"

namespace {

constexpr int kBlocks = 6;          // dot-by-dot frame-memory blocks
constexpr int kUnitPixels = 320;    // memory line width unit
constexpr int kSmallParallel = 2560, kSmallVbo = 5120, kSmallHeight = 2176;

// Channels a window needs: by port for a single input, by the number of
// ports a multi-port dot-by-dot window combines.
int channelsNeeded(int mode, int port)
{
    if (mode < 2)
        return port >= 0 && port <= 3 ? 1 : port == 4 || port == 5 ? 2 : 0;
    if (mode < 30)
        return 2;
    if (mode < 40)
        return 3;
    if (mode < 52)
        return 4;
    return 0;
}

// A capture rectangle of one channel: hst, hw, vst, vw of the port's picture.
struct Capture {
    int32_t hst = 0, hw = 0, vst = 0, vw = 0;
    bool used = false;
};

int roundUp3(int x) { return (x + 2) / 3 * 3; }

} // namespace

int c331_manage::vyxApi_GetWinDbdMultiPort(int w, int* ports6)
{
    int ports[6] = {6, 6, 6, 6, 6, 6};
    int n = 0;
    static const int kIn12[] = {0, 1}, kIn34[] = {2, 3}, kIn123[] = {0, 1, 2}, kIn1234[] = {0, 1, 2, 3},
                     kVbo[] = {5, 4};
    const int* list = nullptr;
    switch (w >= 0 && w < kWindows ? PM_WIN_DBD_MODE[w] : 0) {
    case DBD_CMOS_IN12: case DBD_CMOS_IN12V: list = kIn12; n = 2; break;
    case DBD_CMOS_IN34: case DBD_CMOS_IN34V: list = kIn34; n = 2; break;
    case DBD_CMOS_IN123: list = kIn123; n = 3; break;
    case DBD_CMOS_IN1234: case DBD_CMOS_IN1234Q: list = kIn1234; n = 4; break;
    case DBD_VBO_IN12: case DBD_VBO_IN12V: list = kVbo; n = 2; break;
    default: break;
    }
    for (int i = 0; i < n; ++i)
        ports[i] = list[i];
    if (ports6)
        for (int i = 0; i < 6; ++i)
            ports6[i] = ports[i];
    return list ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Counting, picking and moving channels

namespace {
void rebuildWinIch(c331_manage& m)
{
    for (int w = 0; w < c331_manage::kWindows; ++w) {
        int n = 0;
        for (int c = 0; c < c331_manage::kInChannels; ++c)
            m.win_ich[w][c] = -1;
        for (int c = 0; c < c331_manage::kInChannels; ++c)
            if (m.ich_win[c] == w)
                m.win_ich[w][n++] = c;
    }
}

bool shaped(const c331_manage& m, int w)
{
    return c331_manage::winOk(w) && m.PM_WIN_SHAPE[w][0] != 0 && m.PM_WIN_SHAPE[w][1] != 0;
}

// A window that captures a V-by-One port through one pair: moving one of
// its channels would cut its line in two.
bool holdsPair(const c331_manage& m, int w)
{
    return c331_manage::winOk(w) && m.PM_WIN_DBD_MODE[w] < 2 && (m.PM_INPUT[w] == 4 || m.PM_INPUT[w] == 5);
}
} // namespace

int c331_manage::check_ich_all(int w)
{
    int total = 0;
    for (int v = 0; v < kWindows; ++v)
        if (shaped(*this, v))
            total += channelsNeeded(PM_WIN_DBD_MODE[v], PM_INPUT[v]);
    if (total > kInChannels) {
        VYX_DEBUG("check_ich_all ret=%d\n", -1);
        return -1;
    }
    for (int c = 0; c < kInChannels; ++c) {
        const int owner = ich_win[c];
        if (owner == w || (owner != -1 && (!winOk(owner) || !shaped(*this, owner))))
            ich_win[c] = -1;
    }
    rebuildWinIch(*this);
    VYX_DEBUG("check_ich_all ret=%d\n", total);
    return total;
}

int c331_manage::check_ich(int ip, int dual)
{
    auto F = [this](int c) { return ich_win[c] == -1; };
    if (dual) {
        for (int first : {4, 6, 2, 0})
            if (F(first) && F(first + 1))
                return first;
        return -1;
    }
    if (ip) {
        // Deinterlacing channels only; a pair is kept whole where it can be.
        if (F(0))
            return !F(2) && F(3) ? 3 : 0;
        if (F(1))
            return 1;
        if (!F(2))
            return F(3) ? 3 : -1;
        return 2;
    }
    if (F(0))
        return !F(2) && F(3) ? 3 : 0;
    if (F(2))
        return !F(1) ? 2 : 1;
    if (F(1))
        return 1;
    if (F(3))
        return 3;
    if (F(4) && F(6))
        return 4;
    if (F(4))
        return F(7) ? 7 : 4;
    if (F(6))
        return F(5) ? 5 : 6;
    if (F(5))
        return 5;
    if (F(7))
        return 7;
    return -1;
}

int c331_manage::adjust_ich(int ip, int dual, int w)
{
    auto F = [this](int c) { return ich_win[c] == -1; };
    auto firstFree = [&](std::initializer_list<int> order) {
        for (int c : order)
            if (F(c))
                return c;
        return -1;
    };
    // The owner of channel `from` moves to the first free of `order`.
    auto move = [&](int from, std::initializer_list<int> order) {
        const int to = firstFree(order);
        if (to < 0)
            return false;
        const int owner = ich_win[from];
        ich_win[to] = owner;
        ich_win[from] = -1;
        if (winOk(owner))
            g_chg_input[owner] = 2;
        return true;
    };
    auto ng = [] {
        VYX_DEBUG("adjust_ich NG!!!\n");
        return -1;
    };

    if (!dual && !ip) {
        const int c = firstFree({0, 1, 2, 3, 4, 5, 6, 7});
        if (c < 0)
            return ng();
        ich_win[c] = w;
        return 0;
    }
    if (!dual) {
        int c = firstFree({0, 1, 2, 3});
        if (c >= 0) {
            ich_win[c] = w;
            return 0;
        }
        // A progressive window gives up its deinterlacing channel; one that
        // holds a V-by-One pair keeps it whole.
        for (int k = 0; k < 4; ++k) {
            const int owner = ich_win[k];
            const int port = winOk(owner) ? PM_INPUT[owner] : 6;
            if (holdsPair(*this, owner) || (portOk(port) && PI_PORT_INFO[port].ip != 0))
                continue;
            if (!move(k, {4, 5, 6, 7}))
                return ng();
            ich_win[k] = w;
            return 0;
        }
        VYX_DEBUG("ICH1-4 is not available!!!\n");
        c = firstFree({4, 5, 6, 7});
        if (c < 0)
            return ng();
        ich_win[c] = w;
        return 0;
    }
    // A pair with one half taken: its single user moves.
    int first = -1;
    if (F(4)) {
        if (!move(5, {6, 7, 0, 1, 2, 3}))
            return ng();
        first = 4;
    } else if (F(5)) {
        if (!move(4, {6, 7, 0, 1, 2, 3}))
            return ng();
        first = 4;
    } else if (F(6)) {
        if (!move(7, {0, 1, 2, 3}))
            return ng();
        first = 6;
    } else if (F(7)) {
        if (!move(6, {0, 1, 2, 3}))
            return ng();
        first = 6;
    } else if (F(0)) {
        if (!move(1, {2, 3}))
            return ng();
        first = 0;
    } else if (F(1)) {
        if (!move(0, {2, 3}))
            return ng();
        first = 0;
    } else {
        return ng();
    }
    ich_win[first] = ich_win[first + 1] = w;
    return 0;
}

int c331_manage::set_input(int w, int port)
{
    if (!winOk(w))
        return 2;
    const int mode = PM_WIN_DBD_MODE[w];
    // A dot-by-dot window without a re-setup keeps its channels; one loaded
    // without any (or with those of another mode) gets them as any window.
    if (mode > 1 && g_chg_dbd[w] == 0 && win_ich[w][0] >= 0 && !channelsStale(w))
        return 0;
    if (!shaped(*this, w)) {
        VYX_DEBUG("[set_input] win_%d, port_%d, window is unavailable\n", w, port);
        return 2;
    }
    if (check_ich_all(w) == -1) {
        VYX_DEBUG("[set_input] win_%d, check_ich_all(win) fail\n", w);
        return withoutChannels(w);
    }
    int result = 2;
    if (mode < 2) {
        if (port >= 0 && port <= 3) {
            const int ip = PI_PORT_INFO[port].ip;
            const int c = check_ich(ip, 0);
            if (c >= 0) {
                ich_win[c] = w;
                result = 0;
            } else {
                result = adjust_ich(ip, 0, w) == 0 ? 1 : 2;
            }
        } else if (port == 4 || port == 5) {
            const int c = check_ich(0, 1);
            if (c >= 0) {
                ich_win[c] = ich_win[c + 1] = w;
                result = 0;
            } else {
                result = adjust_ich(0, 1, w) == 0 ? 1 : 2;
            }
        }
    } else {
        // One progressive channel per port, made room for when needed.
        const int need = channelsNeeded(mode, -1);
        bool failed = need == 0, adjusted = false, lastAdjusted = false;
        for (int i = 0; i < need && !failed; ++i) {
            const int c = check_ich(0, 0);
            lastAdjusted = c < 0;
            if (c >= 0)
                ich_win[c] = w;
            else if (adjust_ich(0, 0, w) == 0)
                adjusted = true;
            else
                failed = true;
        }
        result = failed ? 2 : (mode >= 40 ? lastAdjusted : adjusted) ? 1 : 0;
        if (failed)
            VYX_DEBUG("set_input Dot-By-Dot Rare Case!!!   win=%d  port=%d\n", w, port);
    }
    rebuildWinIch(*this);
    if (result == 2)
        return withoutChannels(w);
    win_ich_port[w] = port;
    win_ich_mode[w] = mode;
    return result;
}

bool c331_manage::channelsStale(int w) const
{
    if (!winOk(w) || win_ich[w][0] < 0)
        return false;
    int held = 0;
    while (held < kInChannels && win_ich[w][held] >= 0)
        ++held;
    return held != channelsNeeded(PM_WIN_DBD_MODE[w], PM_INPUT[w]) || win_ich_port[w] != PM_INPUT[w] ||
           win_ich_mode[w] != PM_WIN_DBD_MODE[w];
}

int c331_manage::withoutChannels(int w)
{
    // The window stays without channels: none it held before is kept for a
    // picture it no longer captures, and its output is set up again
    // without input, on its background.
    for (int c = 0; c < kInChannels; ++c)
        if (ich_win[c] == w)
            ich_win[c] = -1;
    rebuildWinIch(*this);
    g_chg_win[w] = 1;
    return 2;
}

void c331_manage::reset_ich(int w)
{
    if (!winOk(w) || shaped(*this, w))
        return;
    for (int i = 0; i < kInChannels && win_ich[w][i] >= 0; ++i) {
        const int c = win_ich[w][i];
        if (c < kInChannels && ich_win[c] == w)
            ich_win[c] = -1;
        win_ich[w][i] = -1;
    }
    for (int i = 0; i < kInChannels; ++i)
        win_ich[w][i] = -1;
}

// ---------------------------------------------------------------------------
// What each channel captures

void c331_manage::set_ichsel(int fd, int w)
{
    if (!winOk(w))
        return;
    c331_drv& drv = *p_c331_drv;
    const int mode = PM_WIN_DBD_MODE[w];
    const int c = mainIch(w);
    auto select = [&](int ch, uint32_t s) {
        if (ch >= 0 && ch < kInChannels)
            drv.write_C331(fd, 0x001001 + 0x100u * unsigned(ch), s, 0);
    };
    auto wide = [this](int p) { return PI_HDMI_INFO[p].lane > 4; };
    if (mode < 2) {
        const int p = PM_INPUT[w];
        if (c < 0 || !portOk(p))
            return;
        if (p <= 3) {
            select(c, uint32_t(2 * p));
        } else {
            const uint32_t s = uint32_t(4 * (p - 2));
            select(c, s);
            // The pair's second half, when the window holds it.
            if (win_ich[w][1] == c + 1)
                select(c + 1, s + (wide(p) ? 2 : 1));
        }
        return;
    }
    uint32_t list[4];
    int n;
    switch (mode) {
    case DBD_CMOS_IN12: case DBD_CMOS_IN12V: list[0] = 0; list[1] = 2; n = 2; break;
    case DBD_CMOS_IN34: case DBD_CMOS_IN34V: list[0] = 4; list[1] = 6; n = 2; break;
    case DBD_CMOS_IN123: list[0] = 0; list[1] = 2; list[2] = 4; n = 3; break;
    case DBD_CMOS_IN1234: case DBD_CMOS_IN1234Q: list[0] = 0; list[1] = 2; list[2] = 4; list[3] = 6; n = 4; break;
    case DBD_VBO_IN12: case DBD_VBO_IN12V:
        VYX_DEBUG(wide(4) ? "\t port_%d 8 lane\n" : "\t port_%d 4 lane\n", 4);
        VYX_DEBUG(wide(5) ? "\t port_%d 8 lane\n" : "\t port_%d 4 lane\n", 5);
        list[0] = 8;
        list[1] = wide(4) ? 10 : 9;
        list[2] = 12;
        list[3] = wide(5) ? 14 : 13;
        n = 4;
        break;
    default: return;
    }
    for (int i = 0; i < n && i < kInChannels && win_ich[w][i] >= 0; ++i)
        select(win_ich[w][i], list[i]);
}

void c331_manage::set_idual(int fd, int ich, int on, int port)
{
    if (ich < 0 || ich >= kInChannels)
        return;
    c331_drv& drv = *p_c331_drv;
    const unsigned k = unsigned(ich / 2);
    if (!on || !portOk(port)) {
        drv.write_C331(fd, 0x030801 + 0x900u * k, 0, 0);
        return;
    }
    drv.write_C331(fd, 0x030801 + 0x900u * k, 3, 0);
    drv.write_C331(fd, 0x030902 + 0x900u * k, uint32_t(PI_ACT[port].hst), 0);
    drv.write_C331(fd, 0x030B02 + 0x900u * k, uint32_t(2 * PI_ACT[port].hw), 0);
}

// ---------------------------------------------------------------------------
// Dot-by-dot frame memory

int c331_manage::check_dbd_input(int fd, int port)
{
    (void)fd;
    if (!portOk(port))
        return 0;
    const _ImageWindowDef_st& a = PI_ACT_FULL[port];
    return a.hw > (port < 4 ? kSmallParallel : kSmallVbo) || a.vw > kSmallHeight ? 1 : 0;
}

void c331_manage::reset_dbd_mem(int w)
{
    if (!winOk(w))
        return;
    for (int32_t& b : win_dbd_blk[w]) {
        if (b >= 0 && b < kBlocks)
            dbd_blk_used[b] = -1;
        b = -1;
    }
}

int c331_manage::set_dbd_mem(int fd, int w)
{
    if (!winOk(w))
        return -1;
    reset_dbd_mem(w);
    const int mode = PM_WIN_DBD_MODE[w];
    const int c = mainIch(w);
    if (mode == DBD_DISABLE || c < 0 || c >= kInChannels)
        return -1;
    auto W = [this](int p) { return portOk(p) ? PI_ACT_FULL[p].hw : 0; };
    int need = 0, width = 0;
    bool down = false;
    switch (mode) {
    case DBD_SINGLE_INPUT: {
        const int p = PM_INPUT[w];
        if (!portOk(p))
            return -1;
        if (check_dbd_input(fd, p) == 0) {
            // Small enough for the channel's own memory.
            std::copy(PS_MEM_SC[c], PS_MEM_SC[c] + 5, win_dbd_sc[w]);
            win_dbd_units[w] = PS_MEM_UNITS;
            return 0;
        }
        need = p < 4 ? 1 : 2;
        width = W(p);
        break;
    }
    case DBD_CMOS_IN12: need = 2; width = W(0) + W(1); break;
    case DBD_CMOS_IN12V: need = 2; width = W(0); down = true; break;
    case DBD_CMOS_IN34: need = 2; width = W(2) + W(3); break;
    case DBD_CMOS_IN34V: need = 2; width = W(2); down = true; break;
    case DBD_CMOS_IN123: need = 3; width = W(0) + W(1) + W(2); break;
    case DBD_CMOS_IN1234: need = 4; width = W(0) + W(1) + W(2) + W(3); break;
    case DBD_CMOS_IN1234Q: need = 4; width = W(0) + W(1); down = true; break;
    case DBD_VBO_IN12: need = 4; width = W(4) + W(5); break;
    case DBD_VBO_IN12V: need = 4; width = W(4); down = true; break;
    default: return -1;
    }
    // One run of adjacent blocks: the picture spans them from the first.
    auto runFree = [this, need](int first) {
        for (int b = first; b < first + need; ++b)
            if (b < 0 || b >= kBlocks || dbd_blk_used[b] != -1)
                return false;
        return true;
    };
    int first = -1;
    if (down) {
        for (int s = kBlocks - need; s >= 0 && first < 0; --s)
            if (runFree(s))
                first = s;
    } else {
        for (int s = 0; s + need <= kBlocks && first < 0; ++s)
            if (runFree(s))
                first = s;
    }
    if (first < 0) {
        const int free = int(std::count(dbd_blk_used, dbd_blk_used + kBlocks, -1));
        VYX_DEBUG("Dot-By-Dot memory assignment error!!!   win=%d  mode=%d  mem_cnt=%d  blk_cnt=%d\n", w, mode, need,
                  free);
        return -1;
    }
    for (int i = 0; i < need; ++i) {
        dbd_blk_used[first + i] = 1;
        win_dbd_blk[w][i] = first + i;
    }
    for (int b = 0; b < 5; ++b)
        win_dbd_sc[w][b] = PS_MEM_DBD[b] + PS_DBD_BLK_SIZE * uint32_t(first);
    win_dbd_units[w] = (width + kUnitPixels - 1) / kUnitPixels;
    return 0;
}

// ---------------------------------------------------------------------------
// Dot-by-dot capture

void c331_manage::set_display_window_ich_dbd(int fd, int w, int mode)
{
    if (!winOk(w))
        return;
    c331_drv& drv = *p_c331_drv;
    int channels = 0;
    while (channels < kInChannels && win_ich[w][channels] >= 0)
        ++channels;
    for (int i = 0; i < channels; ++i)
        set_idual(fd, win_ich[w][i], 0, 0);
    if (channels == 0)
        return;

    if (set_dbd_mem(fd, w) == -1) {
        g_chg_input[w] = 0;
        g_chg_dbd[w] = 0;
        VYX_DEBUG("[set_display_window_ich_dbd] g_chg_dbd[%d]:%d\n", w, g_chg_dbd[w]);
        set_mct(fd, w, 0);
        return;
    }
    set_ichsel(fd, w);

    // Capture rectangle of each channel, from the full pictures of the ports.
    Capture cap[kInChannels];
    auto whole = [this](int p) {
        Capture k;
        if (portOk(p)) {
            const _ImageWindowDef_st& a = PI_ACT_FULL[p];
            k = Capture{a.hst, a.hw, a.vst, a.vw, true};
        }
        k.used = true;
        return k;
    };
    // A V-by-One picture through two channels: halves while its lines come
    // in halves, else all through the first.
    auto vboPair = [&](int p, Capture* pair) {
        Capture full = whole(p);
        if (portOk(p) && PI_STATE[p] < 4) {
            full.hst /= 2;
            full.hw /= 2;
            pair[0] = pair[1] = full;
        } else {
            pair[0] = full;
            pair[1] = Capture{0, 0, 0, 0, true};
        }
    };
    int needed;
    int ports[6];
    const int port = PM_INPUT[w];
    if (mode == DBD_SINGLE_INPUT) {
        if (port >= 0 && port <= 3) {
            cap[0] = whole(port);
            needed = 1;
        } else {
            if (channels < 2 || !portOk(port))
                return;
            vboPair(port, cap);
            needed = 2;
        }
    } else if (mode == DBD_VBO_IN12 || mode == DBD_VBO_IN12V) {
        if (channels < 4)
            return;
        // In the order the channels select them: port 4's halves, then port 5's.
        vboPair(4, cap);
        vboPair(5, cap + 2);
        needed = 4;
    } else {
        vyxApi_GetWinDbdMultiPort(w, ports);
        needed = 0;
        while (needed < 6 && ports[needed] != 6)
            ++needed;
        if (channels < needed || needed == 0)
            return;
        for (int i = 0; i < needed; ++i)
            cap[i] = whole(ports[i]);
    }

    // Memory format and each channel's place in the window's memory.
    const bool interlaced = mode == DBD_SINGLE_INPUT && portOk(port) && PI_SCAN_MODE[port] == 1;
    PM_MEM_WMODE[w] = interlaced ? 2 : PS_MEM_WMODE[w];
    const int wmode = PM_MEM_WMODE[w];
    uint32_t format;
    auto bytesOf = [wmode](int64_t x) -> int64_t {
        switch (wmode) {
        case 1: return 16 * (x / 5) + 3 * (x % 5);
        case 2: return int64_t(roundUp3(int(x))) * 8 / 3;
        case 3: return 2 * x;
        default: return 4 * x;
        }
    };
    switch (wmode) {
    case 1: format = 0x80; break;
    case 2: format = 0x01; break;
    case 3: format = 0x11; break;
    default: format = 0; break;
    }
    // Two rows (one picture below the other) for the stacked modes.
    const bool stacked = mode == DBD_CMOS_IN12V || mode == DBD_CMOS_IN34V || mode == DBD_CMOS_IN1234Q ||
                         mode == DBD_VBO_IN12V;
    const int perRow = mode == DBD_CMOS_IN12V || mode == DBD_CMOS_IN34V ? 1 : stacked ? 2 : needed;
    const int64_t rowBytes = int64_t(win_dbd_units[w]) * cap[0].vw * 1024;
    int64_t offset[kInChannels] = {};
    for (int i = 0; i < needed; ++i) {
        const int row = i / perRow, col = i % perRow;
        int64_t x = 0;
        for (int j = row * perRow; j < row * perRow + col; ++j)
            x += cap[j].hw;
        offset[i] = (col > 0 ? bytesOf(x) : 0) + row * rowBytes;
    }
    if (wmode == 2)
        offset[0] += 2 * (roundUp3(cap[0].hw) - cap[0].hw);

    const int first = win_ich[w][0];
    for (int i = 0; i < needed; ++i) {
        const int c = win_ich[w][i];
        const int off = 16 * c;
        const Capture& k = cap[i];
        drv.write_C331(fd, 0x100901, i == 0 ? 1 : uint32_t(first + 8), off);
        drv.write_C331(fd, 0x101702, uint32_t(std::max(0, k.hst - 7)), off);
        drv.write_C331(fd, 0x101902, uint32_t(k.hw), off);
        drv.write_C331(fd, 0x101B02, uint32_t(k.vst + 1), off);
        drv.write_C331(fd, 0x101D02, uint32_t(k.vw), off);
        for (uint32_t reg : {0x114201u, 0x114301u, 0x114401u, 0x114501u, 0x114601u, 0x114702u, 0x114901u, 0x114A01u,
                             0x114B01u, 0x114C02u})
            drv.write_C331(fd, reg, 0, off);
        for (unsigned b = 0; b < 5; ++b)
            drv.write_C331(fd, 0x161C04 + (4u * b << 8), uint32_t(win_dbd_sc[w][b] + offset[i]), off);
        drv.write_C331(fd, 0x163101, uint32_t(win_dbd_units[w]), off);
        drv.write_C331(fd, 0x166603, c331geom::packBuffers(win_bufs[w]), off);
        drv.write_C331(fd, 0x007101 + 0x100u * unsigned(c), format, 0);
    }
    set_mct(fd, w, 0);
    if (mode == DBD_SINGLE_INPUT)
        set_ip(fd, first);
}
