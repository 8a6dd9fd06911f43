// Window load and output-channel allocation: the image records become up to
// six windows on the output-channel canvas; each window is cut along the
// channel grid, every part gets an output channel, parts that would share a
// channel move to idle ones, and the chip's per-window and per-channel
// arrays follow.
//
// Window w is image record w throughout: a closed image leaves its window
// absent (no channels, shape 0) instead of moving the images after it down,
// so a change the dispatcher reports for image 2 reaches image 2's window
// whatever images before it are closed.
#include "scaler/c331_manage.h"

#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"

using namespace ram;

namespace {

constexpr int kNoWindow = 6;
constexpr int kNoArea = 8;
constexpr uint8_t kNoCell = 0xFF;

// Cell grid of an arrangement: columns and rows of output-channel cells.
struct Grid {
    int cols = 0, rows = 0;
};
Grid gridOf(int arrangement)
{
    switch (arrangement) {
    case ARRANG2K4_2x1: return {2, 1};
    case ARRANG2K4_1x2: return {1, 2};
    case ARRANG2K4_4x1_8K: return {4, 1};
    case ARRANG2K4_2x2_8K: return {2, 2};
    default: return {};
    }
}

// The first cell index i (0..n-1) of size `size` with i*size <= a < (i+1)*size,
// or with `closed` i*size <= a <= (i+1)*size; -1 when none.
int cellOf(int64_t a, int size, int n, bool closed)
{
    for (int i = 0; i < n && size > 0; ++i) {
        const int64_t lo = int64_t(i) * size, hi = lo + size;
        if (lo <= a && (closed ? a <= hi : a < hi))
            return i;
    }
    return -1;
}

const uint8_t* image()
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store ? store->ram_para : nullptr;
}

} // namespace

int c331_manage::vyxApi_inputCvtC331(int port)
{
    // Sources 0, 1, 2, 3 enter chip ports 2, 1, 0, 5.
    switch (port) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 0;
    case 3: return 5;
    default: return 255;
    }
}

int c331_manage::dbdCode(int mode)
{
    static const int kCodes[10] = {DBD_SINGLE_INPUT, DBD_CMOS_IN12, DBD_CMOS_IN12V,  DBD_CMOS_IN34,  DBD_CMOS_IN34V,
                                   DBD_CMOS_IN123,   DBD_CMOS_IN1234, DBD_CMOS_IN1234Q, DBD_VBO_IN12, DBD_VBO_IN12V};
    if (mode >= 0 && mode < 10)
        return kCodes[mode];
    VYX_DEBUG("\t !!!!!!!!DBD_MODE OOR!!!!!!!, set it to DBD_SINGLE_INPUT\n");
    return DBD_SINGLE_INPUT;
}

// ---------------------------------------------------------------------------
// Window load

int c331_manage::vyxApi_initEnvC331()
{
    const uint8_t* img = image();
    int count = 0;
    for (int w = 0; w < kWindows && img; ++w)
        count += le16(img + imageRecord(w) + kImgEnable) != 0;
    if (count == 0)
        return vyxApi_initEnvC331Default();

    for (int w = 0; w < kWindows; ++w) {
        win_loaded[w] = 0;
        win_rect[w] = ST_RECT{0, 0, 0, 0};
    }
    mwin.n = count;
    mwin.pwin = win_rect;

    const int64_t canvasW = int64_t(panel.och.width) * panel.och_HCnt;
    const int64_t canvasH = int64_t(panel.och.height) * panel.och_VCnt;
    int first = -1;
    for (int w = 0; w < kWindows; ++w) {
        const uint8_t* rec = img + imageRecord(w);
        if (le16(rec + kImgEnable) == 0)
            continue;
        if (first < 0)
            first = w;
        ST_WIN_INFO& info = pwinfo[w];
        VYX_DEBUG("initEnvC331 WIN[%d] pri %04x en %04x %04x attr %04x %04x src %04x x %d y %d w %d h %d\n", w,
                  le16(img + kLayerPriority + 2 * w), le16(rec + kImgEnable), le16(rec + kImgStored2),
                  le16(rec + kImgMirror), le16(rec + kImgStored6), le16(rec + kImgSource), le16(rec + kImgX),
                  le16(rec + kImgY), le16(rec + kImgWidth), le16(rec + kImgHeight));

        int layer = le16(img + kLayerPriority + 2 * w);
        if (layer > 5) {
            VYX_DEBUG(" WIN%d PRIORITY:%x OOR,reset to %d\n", w, layer, layer % 6);
            layer %= 6;
        }
        info.layer = uint8_t(layer);

        // Canvas coordinates: the LED screen sits at the panel's offsets.
        ST_RECT r{le16(rec + kImgX) + panel.xoffs, le16(rec + kImgY) + panel.yoffs, le16(rec + kImgWidth),
                  le16(rec + kImgHeight)};
        win_rect[w] = r;
        info.x = uint16_t(r.x);
        info.y = uint16_t(r.y);
        info.w = uint16_t(r.w);
        info.h = uint16_t(r.h);

        // A crop word naming no used entry shows the whole DVI input, as
        // the dispatcher applies it.
        const ShownSource shown = shownSource(img, le16(rec + kImgSource));
        PM_INPUT_OFFSET_EN[w] = shown.crop >= 0 ? 1 : 0;
        if (shown.crop >= 0)
            info.crop = uint8_t(shown.crop);
        info.input = uint8_t(shown.source & 7);
        info.enable = loadShared(rec + kImgEnable);
        info.rotate = loadShared(rec + kImgMirror);

        const uint16_t output = le16(rec + kImgOutput);
        info.output = uint8_t(output & (kOutBlack | kOutFreeze));
        PM_WIN_FADE_EN[w] = (output & kOutFade) ? 1 : 0;
        PM_WIN_DBD_MODE[w] = (output & kOutDotByDot) ? dbdCode(le16(rec + kImgDotMode)) : DBD_DISABLE;

        g_chg_win[w] = 1;
        PM_WIN_FADE_IN[w] = le16(img + kFadeIn + kFadeStride * w);
        PM_WIN_FADE_OUT[w] = le16(img + kFadeOut + kFadeStride * w);
        win_loaded[w] = 1;

        // One window the canvas cannot show replaces the whole set.
        const char* fault = nullptr;
        if (int64_t(r.x) + r.w > canvasW) {
            VYX_DEBUG("\t OOR for win:%d x:%d w:%d, pnl->w\r\n", w, r.x, r.w);
            fault = "rect";
        } else if (int64_t(r.y) + r.h > canvasH) {
            VYX_DEBUG("\t OOR for win:%d y:%d h:%d, pnl->h\r\n", w, r.y, r.h);
            fault = "rect";
        } else if (info.input > 5) {
            VYX_DEBUG("\t OOR for win:%d input:%d\r\n", w, info.input);
            fault = "input";
        } else if (pwinfo[first].enable == 0) {
            VYX_DEBUG("\t OOR for SPLICE_NONE win0 disable\n");
            fault = "enable";
        } else if (info.rotate > 3) {
            VYX_DEBUG("\t OOR for SPLICE_CP1TO2 win%d rotate:%d\r\n", w, info.rotate);
            fault = "rotate";
        }
        if (fault) {
            VYX_DEBUG("\t OOR for win RECT\n");
            return vyxApi_initEnvC331Default();
        }
    }

    // Layers: a window whose layer is taken gets the lowest free one.
    unsigned used = 0;
    for (int w = 0; w < kWindows; ++w) {
        if (!win_loaded[w])
            continue;
        int layer = pwinfo[w].layer;
        if (used & (1u << layer)) {
            int free = 0;
            while (free < kWindows && (used & (1u << free)))
                ++free;
            if (free < kWindows) {
                VYX_DEBUG("\t\t win%d layer:%d already assigned, reset it to :%d\n", w, layer, free);
                layer = free;
            }
        }
        used |= 1u << layer;
        pwinfo[w].layer = uint8_t(layer);
    }

    for (int w = 0; w < kWindows; ++w) {
        const uint16_t attr = le16(img + imageRecord(w) + kImgMirror);
        pwinfo[w].rotate = uint8_t(attr & 3);
        PM_WIN_HMIRROR[w] = attr & 1;
        PM_WIN_VMIRROR[w] = (attr >> 1) & 1;
        g_chg_mirror[w] = 1;
    }
    return 0;
}

int c331_manage::vyxApi_initEnvC331Default()
{
    vyxApi_MultiWinInit();
    vyxApi_MultiWinGet(&mwin);
    for (int w = 0; w < kWindows; ++w) {
        win_loaded[w] = 0;
        if (w > 0)
            win_rect[w] = ST_RECT{0, 0, 0, 0};
    }
    ST_RECT& r = win_rect[0];
    r = ST_RECT{panel.xoffs, panel.yoffs, panel.w, panel.h};
    ST_WIN_INFO& info = pwinfo[0];
    info.x = uint16_t(r.x);
    info.y = uint16_t(r.y);
    info.w = uint16_t(r.w);
    info.h = uint16_t(r.h);
    info.rotate = 0;
    info.enable = 1;
    // A defined picture rather than whatever window 0 held before: the
    // first source, uncropped, in front, not black, not frozen.
    info.input = 0;
    info.crop = 0;
    info.layer = 0;
    info.output = 0;
    PM_INPUT_OFFSET_EN[0] = 0;
    PM_WIN_FADE_EN[0] = 0;
    PM_WIN_DBD_MODE[0] = DBD_DISABLE;
    PM_WIN_HMIRROR[0] = PM_WIN_VMIRROR[0] = 0;
    g_chg_win[0] = 1;
    win_loaded[0] = 1;
    return 0;
}

int c331_manage::vyxApi_MultiWinInit()
{
    multiwin_table[0][0] = ST_RECT{0, 0, panel.w, panel.h};
    return 0;
}

int c331_manage::vyxApi_MultiWinGet(ST_MWIN* out)
{
    const ST_MWIN_LAYOUT& layout = multiwin_layout[0];
    const int n = std::min(layout.n, int(kWindows));
    out->n = n;
    if (layout.table && out->pwin && n > 0)
        std::memcpy(out->pwin, layout.table, size_t(n) * sizeof(ST_RECT));
    return vyxApi_PreviewCh();
}

int c331_manage::vyxApi_PreviewCh() { return 0; }

// ---------------------------------------------------------------------------
// Channel allocation

int c331_manage::vyxApi_MultiWinChAlloc(char init)
{
    VYX_DEBUG("vyxApi_MultiWinChAlloc(%d)\n", init);
    for (ST_WIN_INFO& info : pwinfo) {
        std::memset(info.och, kNoCell, sizeof info.och);
        std::memset(info.pos, kNoCell, sizeof info.pos);
        info.hcnt = info.vcnt = 0;
    }
    const Grid grid = gridOf(panel.arrangement);
    const int cw = panel.och.width, ch = panel.och.height;
    // In one-channel mode a row of two shows each window on one channel.
    const int maxCols = panel.arrangement == ARRANG2K4_2x1 && panel.use1och ? 1 : grid.cols;

    for (int w = 0; w < kWindows; ++w) {
        if (!winLoaded(w))
            continue;
        const ST_RECT& r = win_rect[w];
        const int64_t x1 = r.x, y1 = r.y, x2 = int64_t(r.x) + r.w, y2 = int64_t(r.y) + r.h;
        // Cells by column and row: a row of cells ignores y, a column ignores x.
        const bool useX = panel.arrangement != ARRANG2K4_1x2;
        const bool useY = panel.arrangement != ARRANG2K4_2x1;
        const int c1 = useX ? cellOf(x1, cw, grid.cols, false) : 0;
        const int c2 = useX ? cellOf(x2, cw, grid.cols, true) : 0;
        const int r1 = useY ? cellOf(y1, ch, grid.rows, false) : 0;
        const int r2 = useY ? cellOf(y2, ch, grid.rows, true) : 0;
        // No cell (a canvas without width, a window on no cell, or an empty
        // window on a border): the window gets no channels.
        if (c1 < 0 || c2 < c1 || r1 < 0 || r2 < r1) {
            VYX_DEBUG("\t win%d on no output-channel cell\n", w);
            continue;
        }
        const int cols = std::min(maxCols, c2 - c1 + 1), rows = r2 - r1 + 1;
        if (cols * rows > 8) {
            VYX_DEBUG("\t win%d needs %d channels\n", w, cols * rows);
            continue;
        }
        ST_WIN_INFO& info = pwinfo[w];
        int j = 0;
        for (int row = r1; row <= r2; ++row)
            for (int col = c1; col < c1 + cols; ++col, ++j)
                info.och[j] = info.pos[j] = uint8_t(row * grid.cols + col);
        info.hcnt = uint8_t(cols);
        info.vcnt = uint8_t(rows);
    }
    return 0;
}

int c331_manage::vyxApi_MultiWinChOverlay()
{
    for (int c = 0; c < kOutChannels; ++c)
        PM_OVERLAY[c] = c + 1;
    int shown[kWindows], n = 0;
    for (int w = 0; w < kWindows; ++w)
        if (winLoaded(w) && pwinfo[w].hcnt * pwinfo[w].vcnt > 0)
            shown[n++] = w;
    if (n == 0)
        return 0;

    uint8_t used[kOutChannels];
    std::memset(used, 0xFF, sizeof used);
    auto parts = [this](int w) { return std::min(8, pwinfo[w].hcnt * pwinfo[w].vcnt); };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < parts(shown[i]); ++j)
            if (pwinfo[shown[i]].och[j] < kOutChannels)
                used[pwinfo[shown[i]].och[j]] = 1;
    if (n == 1)
        return 0;

    // A channel two windows would share: the later window moves to the
    // lowest idle channel.
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            ST_WIN_INFO& wa = pwinfo[shown[a]];
            ST_WIN_INFO& wb = pwinfo[shown[b]];
            for (int ja = 0; ja < parts(shown[a]); ++ja) {
                for (int jb = 0; jb < parts(shown[b]); ++jb) {
                    if (wa.och[ja] != wb.och[jb] || wa.och[ja] >= kOutChannels)
                        continue;
                    int idle = 0;
                    while (idle < kOutChannels && used[idle] != 0xFF)
                        ++idle;
                    if (idle == kOutChannels) {
                        VYX_DEBUG("\t not found idle CH, !!!!!why!!!!!\n");
                        continue;
                    }
                    wb.och[jb] = uint8_t(idle);
                    used[idle] = 1;
                }
            }
        }
    }

    // Every channel is mixed onto the cell its part lies in: a moved one
    // joins the mixer of the cell it was moved for.
    bool handled[kOutChannels] = {};
    for (int i = 0; i < n; ++i) {
        const ST_WIN_INFO& info = pwinfo[shown[i]];
        for (int j = 0; j < parts(shown[i]); ++j) {
            const uint8_t o = info.och[j], p = info.pos[j];
            if (o >= kOutChannels || p >= kOutChannels || handled[o])
                continue;
            handled[o] = true;
            PM_OVERLAY[o] = p + 1;
        }
    }
    g_chg_overlay = 1;
    return 0;
}

int c331_manage::vyxApi_MultiWinChInit()
{
    const int fd = c331_fd;
    vyxApi_MultiWinChOverlay();
    c331_SetWinPriority1(fd);

    std::memset(static_cast<void*>(port_check), 0xFF, sizeof(ST_PORT_INFO) * kPorts);
    for (int p = 0; p < kPorts; ++p)
        port_check_changed[p] = 1;

    // Windows no longer shown keep no shape: their input channels are then
    // released and no longer counted.
    for (int w = 0; w < kWindows; ++w) {
        PM_INPUT[w] = kPorts;
        for (int i = 0; i < 4; ++i)
            PM_WIN_OFFSET[w][i] = 0;
        win_present[w] = 0;
        PM_WIN_SHAPE[w][0] = PM_WIN_SHAPE[w][1] = 0;
    }
    const uint8_t* img = image();
    for (int w = 0; w < kWindows; ++w) {
        if (!winLoaded(w))
            continue;
        ST_WIN_INFO& info = pwinfo[w];
        win_present[w] = 1;
        PM_WIN_SHAPE[w][0] = info.hcnt;
        PM_WIN_SHAPE[w][1] = info.vcnt;
        PM_INPUT[w] = vyxApi_inputCvtC331(info.input);
        for (int i = 0; i < 4; ++i)
            PM_WIN_OFFSET[w][i] = vyxApi_OchGetWinOffset1(&info, i);
        if (PM_INPUT_OFFSET_EN[w] && img) {
            const uint8_t* e = img + cropEntry(info.crop);
            ST_RECT crop{le16(e + kCropX), le16(e + kCropY), le16(e + kCropW), le16(e + kCropH)};
            for (int i = 0; i < 4; ++i)
                PM_INPUT_OFFSET[w][i] = vyxApi_CropGetOffset(PM_INPUT[w], &crop, i);
        } else {
            for (int i = 0; i < 4; ++i)
                PM_INPUT_OFFSET[w][i] = 0;
        }
    }

    for (int c = 0; c < kOutChannels; ++c) {
        PM_WIN_NUM[c] = kNoWindow;
        PM_AREA_NUM[c] = kNoArea;
    }
    for (int w = 0; w < kWindows; ++w) {
        const ST_WIN_INFO& info = pwinfo[w];
        if (!winLoaded(w))
            continue;
        for (int j = 0; j < std::min(8, info.hcnt * info.vcnt); ++j) {
            const int o = info.och[j];
            if (o >= kOutChannels) {
                VYX_DEBUG("\t !!!!och:%d OOR\r\n", o);
                g_och_error = 1;
                break;
            }
            PM_WIN_NUM[o] = w;
            PM_AREA_NUM[o] = j;
        }
    }
    traceOp("  channel enables");
    for (int c = 0; c < kOutChannels; ++c)
        p_c331_drv->write_c331_mask(fd, 0x000801 + 0x100u * unsigned(c), PM_WIN_NUM[c] != kNoWindow ? 1 : 0, 1, 0);
    return 0;
}

int c331_manage::vyxApi_OchGetWinOffset1(ST_WIN_INFO* wi, int side)
{
    const int cw = panel.och.width, ch = panel.och.height;
    const int x = wi->x, y = wi->y, w = wi->w, h = wi->h;
    switch (side) {
    case 0:
    case 1:
        if (cw == 0) {
            VYX_DEBUG(side == 0 ? "\t !!!!!!!! po->width left Error" : "\t !!!!!!!! po->width right Error");
            return 0;
        }
        return side == 0 ? x % cw : cw * wi->hcnt - (x % cw + w);
    case 2:
    case 3:
        if (ch == 0) {
            VYX_DEBUG(side == 2 ? "\t !!!!!!!! po->height up Error" : "\t !!!!!!!! po->height down Error");
            return 0;
        }
        return side == 2 ? y % ch : ch * wi->vcnt - (y % ch + h);
    default:
        VYX_DEBUG("\t not found type:%d\r\n", side);
        return 0;
    }
}
