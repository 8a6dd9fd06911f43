#pragma once
// Records of the scaler manager: panel, windows, rectangles, scaling and
// input-port timing. Names follow the chip set's own; layouts that other
// code reads byte-wise are pinned by static_asserts.

#include <cstddef>
#include <cstdint>

// Output-channel description of the panel: one channel's raster and timing.
struct ST_OCH_SPEC {
    int32_t width;
    int32_t height;
    int32_t htt; // total pixels per line
    int32_t hsw;
    int32_t hfp;
    int32_t vtt; // total lines
    int32_t vsw;
    int32_t vfp;
};

// The LED screen laid over the output channels.
struct ST_PANEL {
    uint16_t w;      // LED screen width
    uint16_t h;      // LED screen height
    uint16_t w1, w2; // part shown by output 1 and output 2
    uint16_t h1, h2;
    uint16_t xoffs, yoffs; // output 1's picture inside the channel canvas
    uint8_t och_HCnt, och_VCnt;
    int32_t splice;      // 0..5
    int32_t ochBW;       // always 0
    int32_t arrangement; // 5, 6, 7 or 8
    ST_OCH_SPEC och;
    uint8_t use1och; // 1: each output fits in one channel
};

enum SpliceMode { SPLICE_NONE = 0, SPLICE_HV = 1, SPLICE_V = 2, SPLICE_H = 3, SPLICE_CP12 = 4, SPLICE_CP21 = 5 };

enum Arrangement { ARRANG2K4_2x1 = 5, ARRANG2K4_4x1_8K = 6, ARRANG2K4_2x2_8K = 7, ARRANG2K4_1x2 = 8 };

struct ST_RECT {
    int32_t x, y, w, h;
};

// The loaded window list: count and the manager's rectangle array.
struct ST_MWIN {
    int32_t n;
    ST_RECT* pwin;
};

// One of the ten multi-window layout descriptors: a window count and a
// table of six 16-byte window records.
struct ST_MWIN_LAYOUT {
    int32_t n;
    ST_RECT* table;
};

// Per loaded window, in load order.
struct ST_WIN_INFO {
    uint16_t x, y, w, h; // on the channel canvas, panel offsets included
    uint8_t rotate;      // bit 0 horizontal mirror, bit 1 vertical mirror
    uint8_t output;      // bit 0 black, bit 1 freeze (as applied)
    uint8_t enable;
    uint8_t input;       // source id / input number
    uint8_t crop;        // crop-table entry when the source is a crop
    uint8_t layer;       // 0..5
    uint8_t och[8];      // output channel of each part, 0xFF none
    uint8_t pos[8];      // grid cell of each part, 0xFF none
    uint8_t hcnt, vcnt;  // columns and rows of cells the window spans
};
static_assert(sizeof(ST_WIN_INFO) == 32, "window record is 32 bytes");
static_assert(offsetof(ST_WIN_INFO, hcnt) == 30 && offsetof(ST_WIN_INFO, vcnt) == 31, "counts at bytes 30, 31");

// A rectangle in pixels and lines.
struct _ImageWindowDef_st {
    int32_t hst, hw, vst, vw;
};

// One window's output rectangle split over its channel columns (h fields)
// and rows (v fields).
struct _ImageWindowDef2_Entry {
    int32_t hst, hw, vst, vw;
    int32_t hfirst, hlast, vfirst, vlast;
};
struct _ImageWindowDef2_St {
    _ImageWindowDef2_Entry e[8];
};

// Scaling of one window: mode 0 1:1, 1 shrink, 2 zoom; 16.16 step sizes.
struct _ScalingSt {
    int32_t hmode, vmode;
    int32_t hshrink, vshrink;
    int32_t hzoom, vzoom;
};

// The scaler's copy of an input port's timing record: the first sixteen
// words of the input-source manager's record (its `stable` word is not kept).
struct ST_HDMI_INFO {
    int32_t Hact;
    int32_t Hsync;
    int32_t Hback;
    int32_t Hpol;
    int32_t Htotal;
    int32_t Vact;
    int32_t Vsync;
    int32_t Vback;
    int32_t Vpol;
    int32_t Vtotal;
    float pfreq; // MHz
    int32_t type;     // 0 receiver, 1 V-by-One path
    int32_t datamode; // 0 SDR, 1 DDR
    int32_t lane;
    int32_t ip;       // 1 interlaced
    int32_t nosignal; // 1 no signal
};

// The chip's measurement of an input port.
struct ST_PORT_INFO {
    int32_t htt;
    int32_t vtt;
    int32_t FHW;
    int32_t FVM; // frame period in reference-clock ticks
    int32_t hw;
    int32_t state;
    int32_t laneNum;
    int32_t spare[4];
    int32_t nosig; // 1 no signal
    int32_t ip;    // 1 interlaced
};

// The OSD window on the panel and its split over the panel's port grid.
struct ST_OSD_WIN {
    int32_t HST, HW, VST, VW;
    int32_t colStart[8], colWidth[8];
    int32_t rowStart[8], rowHeight[8];
    int32_t firstCol, lastCol, firstRow, lastRow;
};

// Input-port numbers of the chip.
enum DSP_INPUT_PORT { DSP_INPUT_DVI = 0, DSP_INPUT_EXT, DSP_INPUT_HDMI1, DSP_INPUT_HDMI2, DSP_INPUT_HDMI3, DSP_INPUT_HDMI4 };

// Dot-by-dot codes of a window.
enum DBD_MODE {
    DBD_DISABLE = 0,
    DBD_SINGLE_INPUT = 1,
    DBD_CMOS_IN12 = 20,
    DBD_CMOS_IN12V = 21,
    DBD_CMOS_IN34 = 22,
    DBD_CMOS_IN34V = 23,
    DBD_CMOS_IN123 = 30,
    DBD_CMOS_IN1234 = 40,
    DBD_CMOS_IN1234Q = 41,
    DBD_VBO_IN12 = 50,
    DBD_VBO_IN12V = 51,
};
