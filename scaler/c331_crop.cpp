// Input crops: a window that shows a rectangle of its source has four
// margins cut from its port's active area, from the crop table of the
// parameter image; they follow the port when its timing changes.
#include "scaler/c331_manage.h"

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"

using namespace ram;

namespace {

// Width and height of a port's picture as crops count them: a V-by-One
// port whose lines carry half the pixels counts them all, and an interlaced
// port counts the lines of its picture (two fields), as the window's input
// rectangle the margins are cut from does.
void pictureSize(const c331_manage& m, int port, int* W, int* H)
{
    *W = *H = 0;
    if (!c331_manage::portOk(port))
        return;
    *W = m.PI_ACT[port].hw;
    if (port >= 4 && m.PI_STATE[port] < 4)
        *W *= 2;
    *H = m.PI_ACT[port].vw;
    if (m.PI_SCAN_MODE[port] == 1)
        *H *= 2;
}

// Crop entry e of the live image, or false when e is outside the table.
bool cropRect(int e, ST_RECT* r)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store || e < 0 || e >= kCropEntries)
        return false;
    const uint8_t* at = store->ram_para + cropEntry(e);
    *r = ST_RECT{le16(at + kCropX), le16(at + kCropY), le16(at + kCropW), le16(at + kCropH)};
    return true;
}

} // namespace

void c331_manage::c331_SetInputsourceCrop(int w, int word)
{
    const int idx = word & 0xFF;
    VYX_DEBUG("[%s] win:%d , cropIdx:%04X\n", "c331_SetInputsourceCrop", w, word);
    if (!winLoaded(w)) {
        VYX_DEBUG("[%s] win:%d oor\n", "c331_SetInputsourceCrop", w);
        return;
    }
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (idx >= kCropEntries || !store) {
        VYX_DEBUG("\t !!!!!!!!!cropIdx OOR,return !!!!!!!!!!!!!\n");
        return;
    }
    pwinfo[w].crop = uint8_t(idx);
    pwinfo[w].input = uint8_t(le16(store->ram_para + cropEntry(idx) + kCropId) & 0xFF);
    VYX_DEBUG("\t win:%d Input:%d\n", w, pwinfo[w].input);
}

void c331_manage::c331_SetCrop(char w, char enable, ST_RECT* rect)
{
    const int win = w;
    if (!winOk(win) || !rect) {
        VYX_DEBUG("  not found win:%d\r\n", win);
        return;
    }
    const int port = vyxApi_inputCvtC331(pwinfo[win].input);
    int W, H;
    pictureSize(*this, port, &W, &H);
    // A rectangle reaching past the picture shows the whole of it, per axis.
    if (int64_t(rect->x) + rect->w > W) {
        VYX_DEBUG("    x:%d + w:%d OOR, reset it to C331input\r\n", rect->x, rect->w);
        rect->w = W;
        rect->x = 0;
    }
    if (int64_t(rect->y) + rect->h > H) {
        VYX_DEBUG("    y:%d + h:%d OOR, reset it to C331input\r\n", rect->y, rect->h);
        rect->y = 0;
        rect->h = H;
    }
    if (enable) {
        PM_INPUT_OFFSET_EN[win] = 1;
        for (int side = 0; side < 4; ++side)
            PM_INPUT_OFFSET[win][side] = vyxApi_CropGetOffset(port, rect, side);
        VYX_DEBUG("\t PM_OFFSET(%d,%d,%d,%d)\r\n", PM_INPUT_OFFSET[win][0], PM_INPUT_OFFSET[win][1],
                  PM_INPUT_OFFSET[win][2], PM_INPUT_OFFSET[win][3]);
    } else {
        PM_INPUT_OFFSET_EN[win] = 0;
        for (int side = 0; side < 4; ++side)
            PM_INPUT_OFFSET[win][side] = 0;
    }
    if (prnEn[4] & 0x80)
        VYX_DEBUG("[c331_SetCrop] set_output(0,%d);\n", win);
    set_output(c331_fd);
}

int c331_manage::vyxApi_CropGetOffset(int port, ST_RECT* rect, int side)
{
    int W, H;
    pictureSize(*this, port, &W, &H);
    if (W == 0 || H == 0)
        VYX_DEBUG("\t no signal, return 0\n");
    int64_t offset;
    switch (side) {
    case 0: offset = rect->x; break;
    case 1: offset = int64_t(W) - (int64_t(rect->x) + rect->w); break;
    case 2: offset = rect->y; break;
    case 3: offset = int64_t(H) - (int64_t(rect->y) + rect->h); break;
    default: return 0;
    }
    if (offset < 0) {
        VYX_DEBUG("[vyxApi_CropGetOffset] offset:%d < 0, reset to zeruo\n", int(offset));
        offset = 0;
    }
    return int(offset);
}

void c331_manage::vyxApi_updateCrop(int port)
{
    VYX_DEBUG("[vyxApi_updateCrop]  input_num:%d\n", port);
    for (int w = 0; w < kWindows; ++w) {
        if (PM_INPUT[w] != port || !PM_INPUT_OFFSET_EN[w] || !winLoaded(w))
            continue;
        VYX_DEBUG("\t win:%d, cropEn:%d, wincnt:%d\n", w, PM_INPUT_OFFSET_EN[w], mwin.n);
        ST_RECT r;
        if (!cropRect(pwinfo[w].crop, &r))
            continue;
        for (int side = 0; side < 4; ++side)
            PM_INPUT_OFFSET[w][side] = vyxApi_CropGetOffset(port, &r, side);
        VYX_DEBUG("\t win:%d crop %d,%d %dx%d: offsets %d %d %d %d\n", w, r.x, r.y, r.w, r.h, PM_INPUT_OFFSET[w][0],
                  PM_INPUT_OFFSET[w][1], PM_INPUT_OFFSET[w][2], PM_INPUT_OFFSET[w][3]);
    }
}
