// Picture controls (brightness, contrast, saturation, sharpness, colour
// temperature) on every output channel, and the test patterns.
#include "scaler/c331_manage.h"

#include <algorithm>

#include "core/globals.h"

namespace {

constexpr int kControlBank = 16; // bank offset between output channels

// Output channels of a loaded window, in part order; entries beyond the
// eight channels are skipped.
template <class F>
void forWindowChannels(const ST_WIN_INFO& info, F f)
{
    const int parts = std::min(8, info.hcnt * info.vcnt);
    for (int j = 0; j < parts; ++j)
        if (info.och[j] < 8)
            f(int(info.och[j]));
}

// Peaking coefficients (a, b, c, d, e) by output/input ratio: above 2.5,
// above 2.0, above 1.25, the rest.
constexpr int kSharpH[4][5] = {{36, 43, 58, 4, 5}, {30, 42, 0, 7, 0}, {28, 46, 5, 3, 60}, {44, 49, 56, 63, 2}};
constexpr int kSharpV[4][5] = {{42, 48, 59, 0, 0}, {34, 47, 0, 0, 0}, {28, 45, 5, 0, 0}, {44, 50, 56, 0, 0}};

int ratioClass(int out, int in)
{
    // No input size: treated as 1:1.
    double r = in > 0 ? double(out) / double(in) : 1.0;
    return r > 2.5 ? 0 : r > 2.0 ? 1 : r > 1.25 ? 2 : 3;
}

// Test-pattern generator settings. A value of kWide is 0x8000 on a window
// wider than 2048 pixels, else 0.
constexpr uint32_t kWide = 0xFFFFFFFFu;
struct PatternWrite {
    uint8_t pattern; // 1..20
    uint32_t code;
    uint32_t value;
};
constexpr PatternWrite kPatterns[] = {
    {1, 0x085701, 4}, {1, 0x085B02, kWide}, {1, 0x086301, 0xFF}, {1, 0x086601, 3}, {1, 0x086701, 3}, {1, 0x086801, 3},
    {2, 0x085701, 4}, {2, 0x085B02, kWide}, {2, 0x086401, 0xFF}, {2, 0x086601, 3}, {2, 0x086701, 3}, {2, 0x086801, 3},
    {3, 0x085701, 4}, {3, 0x085B02, kWide}, {3, 0x086501, 0xFF}, {3, 0x086601, 3}, {3, 0x086701, 3}, {3, 0x086801, 3},
    {4, 0x085701, 4}, {4, 0x085B02, kWide}, {4, 0x086301, 0xFF}, {4, 0x086401, 0xFF}, {4, 0x086501, 0xFF},
    {4, 0x086601, 3}, {4, 0x086701, 3}, {4, 0x086801, 3},
    {5, 0x085701, 4}, {5, 0x085B02, kWide}, {5, 0x086601, 3}, {5, 0x086701, 3}, {5, 0x086801, 3},
    {6, 0x085701, 1}, {6, 0x085B02, 0x8000}, {6, 0x085F02, 0x1E0}, {6, 0x086301, 0xFF}, {6, 0x086401, 0xFF},
    {6, 0x086501, 0xFF}, {6, 0x086601, 3}, {6, 0x086701, 3}, {6, 0x086801, 3},
    {7, 0x085701, 0x0E}, {7, 0x085F02, 1}, {7, 0x085B02, kWide}, {7, 0x086301, 0xFF}, {7, 0x086401, 0xFF},
    {7, 0x086501, 0xFF}, {7, 0x086601, 3}, {7, 0x086701, 3}, {7, 0x086801, 3},
    {8, 0x085701, 0x0F}, {8, 0x086102, 1}, {8, 0x085B02, kWide}, {8, 0x086301, 0xFF}, {8, 0x086401, 0xFF},
    {8, 0x086501, 0xFF}, {8, 0x086601, 3}, {8, 0x086701, 3}, {8, 0x086801, 3},
    {9, 0x085701, 0},
    {10, 0x085701, 0},
    {11, 0x085701, 8}, {11, 0x085801, 0x30}, {11, 0x085B02, 0x8000}, {11, 0x085F02, 0x20}, {11, 0x086102, 0x20},
    {11, 0x086301, 0xFF}, {11, 0x086401, 0xFF}, {11, 0x086501, 0xFF}, {11, 0x086601, 3}, {11, 0x086701, 3},
    {11, 0x086801, 3},
    {12, 0x085701, 5}, {12, 0x085B02, 0x8000}, {12, 0x085F02, 0xF0}, {12, 0x086102, 0x10E}, {12, 0x086301, 0xFF},
    {12, 0x086401, 0xFF}, {12, 0x086501, 0xFF}, {12, 0x086601, 3}, {12, 0x086701, 3}, {12, 0x086801, 3},
    {13, 0x085701, 0x0E}, {13, 0x085B02, 0x8000}, {13, 0x085F02, 1}, {13, 0x086301, 0xFF}, {13, 0x086401, 0xFF},
    {13, 0x086501, 0xFF}, {13, 0x086601, 3}, {13, 0x086701, 3}, {13, 0x086801, 3},
    {14, 0x085701, 1}, {14, 0x085B02, 0x8000}, {14, 0x085F02, 0x1E0}, {14, 0x086301, 0xFF}, {14, 0x086401, 0xFF},
    {14, 0x086501, 0xFF}, {14, 0x086601, 3}, {14, 0x086701, 3}, {14, 0x086801, 3},
    {15, 0x085701, 3}, {15, 0x085901, 1}, {15, 0x085B02, 0x8000}, {15, 0x085F02, 0x8FFF}, {15, 0x086401, 0x78},
    {16, 0x085701, 3}, {16, 0x085801, 2}, {16, 0x085901, 1}, {16, 0x085A01, 1}, {16, 0x085B02, 0x8000},
    {16, 0x085F02, 0x8FFF}, {16, 0x086102, 0x8FFF}, {16, 0x086401, 0x78},
    {17, 0x085701, 6}, {17, 0x085B02, 0x8000}, {17, 0x085F02, 0x3C0}, {17, 0x086301, 0xFF}, {17, 0x086401, 0xFF},
    {17, 0x086501, 0xFF}, {17, 0x086601, 3}, {17, 0x086701, 3}, {17, 0x086801, 3},
    {18, 0x085701, 9}, {18, 0x085B02, 0x8095}, {18, 0x085F02, 4}, {18, 0x086102, 0xF00}, {18, 0x086301, 0xFF},
    {18, 0x086401, 0xFF}, {18, 0x086501, 0xFF}, {18, 0x086601, 3}, {18, 0x086701, 3}, {18, 0x086801, 3},
    {19, 0x085701, 2}, {19, 0x085B02, 0x8000}, {19, 0x086102, 0x10E}, {19, 0x086301, 0xFF}, {19, 0x086401, 0xFF},
    {19, 0x086501, 0xFF}, {19, 0x086601, 3}, {19, 0x086701, 3}, {19, 0x086801, 3},
    {20, 0x085701, 3}, {20, 0x085801, 1}, {20, 0x085901, 1}, {20, 0x085A01, 1}, {20, 0x085B02, 0x8000},
    {20, 0x086102, 0x4FFF}, {20, 0x086301, 0xFF}, {20, 0x086401, 0xFF}, {20, 0x086501, 0xFF}, {20, 0x086601, 3},
    {20, 0x086701, 3}, {20, 0x086801, 3},
};

// The generator registers a pattern change clears first.
constexpr uint32_t kPatternClear[] = {0x085701, 0x085801, 0x085901, 0x085A01, 0x085B02, 0x085D02, 0x085F02,
                                      0x086102, 0x086301, 0x086401, 0x086501, 0x086601, 0x086701, 0x086801};

} // namespace

void c331_manage::c331_SetBrightness(unsigned short v)
{
    const int fd = c331_fd;
    int value = v % 101;
    int d = (value - 50) * 1024 / 50;
    uint32_t data = value < 50 ? uint32_t(d) & 0xFFF : uint32_t(d);
    VYX_DEBUG("\r\n[c331_SetBrightness] %d\n", value);
    VYX_DEBUG("\t data:%04x\r\n", data);
    set_rtct(fd, 2);
    for (int k = 0; k < kOutChannels; ++k)
        for (uint32_t code : {0x0C3A02u, 0x0C3C02u, 0x0C3E02u})
            p_c331_drv->write_C331(fd, code, data, kControlBank * k);
    set_rtct(fd, 1);
}

namespace {
// A gain of 0..100 (mod 101) on every output channel: its enable bit set,
// then the three colour components.
void setGain(c331_manage& m, const char* name, int v, uint32_t enable, const uint32_t (&codes)[3], uint32_t mask)
{
    const int fd = m.c331_fd;
    uint32_t g = (unsigned(v) % 101u * 1023u / 100u) & mask;
    VYX_DEBUG("\r\n[%s] val:%d, data:%d\r\n", name, v, int(g));
    m.set_rtct(fd, 2);
    for (int k = 0; k < c331_manage::kOutChannels; ++k) {
        m.p_c331_drv->write_c331_mask(fd, enable, 1, 1, kControlBank * k);
        for (uint32_t code : codes)
            m.p_c331_drv->write_C331(fd, code, g, kControlBank * k);
    }
    m.set_rtct(fd, 1);
}
} // namespace

void c331_manage::c331_SetContrast(int v)
{
    setGain(*this, "c331_SetContrast", v, 0x0C2101, {0x0C2802, 0x0C2A02, 0x0C2C02}, 0xFFFFFFFF);
}

void c331_manage::c331_SetSaturation(int v)
{
    setGain(*this, "c331_SetSaturation", v, 0x0C1401, {0x0C1B02, 0x0C1D02, 0x0C1F02}, 0x7FF);
}

void c331_manage::c331_SetColorTemp(int word)
{
    const int fd = c331_fd;
    const uint32_t w = uint32_t(word);
    // Gains with 8192 = 1.0; a custom gain byte counts 128 = 1.0.
    static const uint32_t kFixed[4][3] = {{0, 0, 0}, {8845, 8113, 7056}, {8192, 8192, 8192}, {6944, 8282, 10978}};
    uint32_t red, green, blue;
    if ((w & 3) == 0) {
        red = ((w >> 24) & 0xFF) * 64;
        green = ((w >> 16) & 0xFF) * 64;
        blue = ((w >> 8) & 0xFF) * 64;
    } else {
        red = kFixed[w & 3][0];
        green = kFixed[w & 3][1];
        blue = kFixed[w & 3][2];
    }
    VYX_DEBUG("[c331_SetColorTemp] %8x\r\n", w);
    set_rtct(fd, 2);
    for (uint32_t code = 0x005901; code <= 0x006001; code += 0x100)
        p_c331_drv->write_c331_mask(fd, code, 0x20, 0x20, 0);
    for (int k = 0; k < kOutChannels; ++k) {
        const uint32_t matrix[9] = {red, 0, 0, 0, green, 0, 0, 0, blue};
        for (uint32_t i = 0; i < 9; ++i)
            p_c331_drv->write_C331(fd, 0x0C5B02 + (i << 9), matrix[i], kControlBank * k);
    }
    set_rtct(fd, 1);
}

void c331_manage::c331_SetSharpness(int v)
{
    const int fd = c331_fd;
    const int s = v <= 9 ? 0 : v - 10;
    VYX_DEBUG("[c331_SetSharpness] :%04x\r\n", v);
    p_c331_drv->write_c331_mask(fd, 0x0C2101, 1, 1, 0);
    for (int w = 0; w < kWindows; ++w) {
        if (!winLoaded(w))
            continue;
        // The window's own chip port and input rectangle.
        const int port = PM_INPUT[w];
        if (port < 0 || port >= kPorts || PI_STATE[port] == 0)
            continue;
        const int h = s > 0 ? 6 : 0;
        forWindowChannels(pwinfo[w], [&](int k) { p_c331_drv->write_C331(fd, 0x0B0801, uint32_t(h), 16 * k); });

        // s x 12.8, held at the registers' 255: beyond it the low byte alone
        // would turn a strong setting into a weak one.
        const uint32_t gain = s > 0 ? uint32_t(std::min(255, s * 128 / 10)) : 0;
        const int* ch = kSharpH[ratioClass(OWIN[w].hw, IWIN[w].hw)];
        set_rtct(fd, 2);
        forWindowChannels(pwinfo[w], [&](int k) {
            const uint32_t values[6] = {s ? uint32_t(ch[0]) : 0, s ? uint32_t(ch[1]) : 0, s ? uint32_t(ch[2]) : 0,
                                        s ? uint32_t(ch[3]) : 0, s ? uint32_t(ch[4]) : 0, gain};
            static const uint32_t codes[6] = {0x0B0C01, 0x0B0D01, 0x0B0E01, 0x0B0F01, 0x0B1001, 0x0B0901};
            for (int i = 0; i < 6; ++i)
                p_c331_drv->write_C331(fd, codes[i], values[i], 16 * k);
            p_c331_drv->write_C331(fd, 0x0B1101, uint32_t(h), 16 * k);
        });
        const int inV = PI_SCAN_MODE[port] == 1 ? IWIN[w].vw * 2 : IWIN[w].vw;
        const int* cv = kSharpV[ratioClass(OWIN[w].vw, inV)];
        forWindowChannels(pwinfo[w], [&](int k) {
            p_c331_drv->write_C331(fd, 0x0B5E01, 1, 16 * k);
            static const uint32_t codes[6] = {0x0B1501, 0x0B1601, 0x0B1701, 0x0B1801, 0x0B1901, 0x0B1201};
            for (int i = 0; i < 6; ++i)
                p_c331_drv->write_C331(fd, codes[i], i < 5 ? (s ? uint32_t(cv[i]) : 0) : gain, 16 * k);
        });
        set_rtct(fd, 1);
    }
}

int c331_manage::c331_SetPattern(int n)
{
    const int fd = c331_fd;
    if (mwin.n > 1) {
        VYX_DEBUG("\t wincnt:%d OOR, return fail\r\n", mwin.n);
        return -1;
    }
    // The one window in use: its image need not be the first.
    int target = 0;
    while (target < kWindows - 1 && !winLoaded(target))
        ++target;
    set_rtct(fd, 2);
    forWindowChannels(pwinfo[target], [&](int k) {
        for (uint32_t code : kPatternClear)
            p_c331_drv->write_C331(fd, code, 0, 16 * k);
    });
    if (n <= 0) {
        pattern_active = 0;
        set_input_bkg2(fd, target, 0);
        set_rtct(fd, 1);
        VYX_DEBUG("    turn off pattern\n");
        return 0;
    }
    const int pattern = (n - 1) % 20 + 1;
    pattern_active = 1;
    const uint32_t wide = pwinfo[target].w > 2048 ? 0x8000 : 0;
    set_input_bkg2(fd, target, 0);
    forWindowChannels(pwinfo[target], [&](int k) {
        for (const PatternWrite& p : kPatterns)
            if (p.pattern == pattern)
                p_c331_drv->write_C331(fd, p.code, p.value == kWide ? wide : p.value, 16 * k);
    });
    set_rtct(fd, 1);
    return 0;
}
