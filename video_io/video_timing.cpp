#include "video_io/video_timing.h"

#include <cmath>
#include <cstdio>

namespace {

struct Mode {
    uint16_t w, h, rate;
    uint16_t hsync, hback, htotal, vsync, vback, vtotal;
    uint8_t hpol, vpol, vic;
    uint32_t pclkKHz;
};

// CEA-861 and DMT modes that sources commonly send.
const Mode kModes[] = {
    {640, 480, 60, 96, 48, 800, 2, 33, 525, 0, 0, 1, 25175},
    {1024, 768, 60, 136, 160, 1344, 6, 29, 806, 0, 0, 0, 65000},
    {1280, 720, 50, 40, 220, 1980, 5, 20, 750, 1, 1, 19, 74250},
    {1280, 720, 60, 40, 220, 1650, 5, 20, 750, 1, 1, 4, 74250},
    {1280, 1024, 60, 112, 248, 1688, 3, 38, 1066, 1, 1, 0, 108000},
    {1920, 1080, 30, 44, 148, 2200, 5, 36, 1125, 1, 1, 34, 74250},
    {1920, 1080, 50, 44, 148, 2640, 5, 36, 1125, 1, 1, 31, 148500},
    {1920, 1080, 60, 44, 148, 2200, 5, 36, 1125, 1, 1, 16, 148500},
    {3840, 2160, 30, 88, 296, 4400, 10, 72, 2250, 1, 1, 95, 297000},
    {3840, 2160, 50, 88, 296, 5280, 10, 72, 2250, 1, 1, 96, 594000},
    {3840, 2160, 60, 88, 296, 4400, 10, 72, 2250, 1, 1, 97, 594000},
    {4096, 2160, 30, 88, 128, 4400, 10, 72, 2250, 1, 1, 100, 297000},
    {4096, 2160, 50, 88, 128, 5280, 10, 72, 2250, 1, 1, 101, 594000},
    {4096, 2160, 60, 88, 128, 4400, 10, 72, 2250, 1, 1, 102, 594000},
};

// Interlaced CEA-861 modes, vertical numbers per field (the rate is the
// field rate); standard definition without pixel repetition.
const Mode kInterlacedModes[] = {
    {720, 480, 60, 62, 57, 858, 3, 15, 262, 0, 0, 6, 13500},
    {720, 576, 50, 63, 69, 864, 3, 19, 312, 0, 0, 21, 13500},
    {1920, 1080, 50, 44, 148, 2640, 5, 15, 562, 1, 1, 20, 74250},
    {1920, 1080, 60, 44, 148, 2200, 5, 15, 562, 1, 1, 5, 74250},
};

void fill(const Mode& m, VideoTiming* t)
{
    t->hact = m.w;
    t->hsync = m.hsync;
    t->hback = m.hback;
    t->htotal = m.htotal;
    t->vsync = m.vsync;
    t->vback = m.vback;
    t->vtotal = m.vtotal;
    t->hpol = m.hpol;
    t->vpol = m.vpol;
    t->vic = m.vic;
    t->pclkKHz = m.pclkKHz;
}

// Vertical sync width of reduced blanking by aspect ratio.
uint16_t cvtVsync(int w, int h)
{
    if (w * 3 == h * 4)
        return 4;
    if (w * 9 == h * 16)
        return 5;
    if (w * 10 == h * 16)
        return 6;
    if (w * 4 == h * 5)
        return 7;
    return 10;
}

} // namespace

int VideoTiming::rate() const
{
    if (!htotal || !vtotal || !pclkKHz)
        return 0;
    return int(std::lround(double(pclkKHz) * 1000.0 / (double(htotal) * vtotal)));
}

bool VideoTiming::operator==(const VideoTiming& o) const
{
    return hact == o.hact && hsync == o.hsync && hback == o.hback && htotal == o.htotal && vact == o.vact &&
           vsync == o.vsync && vback == o.vback && vtotal == o.vtotal && hpol == o.hpol && vpol == o.vpol &&
           interlaced == o.interlaced && pclkKHz == o.pclkKHz;
}

bool standardTiming(int width, int height, int rate, VideoTiming* out)
{
    if (width < 1 || width > 4096 || height < 1 || height > 4095 || rate < 1 || rate > 240)
        return false;
    VideoTiming t;
    t.hact = uint16_t(width);
    t.vact = uint16_t(height);
    for (const Mode& m : kModes) {
        if (m.w == width && m.h == height && m.rate == rate) {
            fill(m, &t);
            *out = t;
            return true;
        }
    }
    // Reduced blanking: 160 pixels of horizontal blanking, at least 460 us
    // of vertical blanking, clock in 0.25 MHz steps.
    const int vfront = 3;
    t.hsync = 32;
    t.hback = 80;
    t.htotal = uint16_t(width + 160);
    t.vsync = cvtVsync(width, height);
    double linePeriodUs = (1000000.0 / rate - 460.0) / height;
    int vblank = linePeriodUs > 0 ? int(460.0 / linePeriodUs) + 1 : 0;
    if (vblank < vfront + t.vsync + 6)
        vblank = vfront + t.vsync + 6;
    if (height + vblank > 0xFFFF)
        return false;
    t.vtotal = uint16_t(height + vblank);
    t.vback = uint16_t(vblank - vfront - t.vsync);
    t.hpol = 1;
    t.vpol = 0;
    double clock = double(t.htotal) * t.vtotal * rate / 1000.0; // kHz
    t.pclkKHz = uint32_t(clock / 250.0) * 250u;
    if (t.pclkKHz == 0)
        return false;
    *out = t;
    return true;
}

bool interlacedTiming(int width, int height, int rate, VideoTiming* out)
{
    for (const Mode& m : kInterlacedModes) {
        if (m.w == width && m.h == height && m.rate == rate) {
            VideoTiming t;
            fill(m, &t);
            t.vact = uint16_t(m.h / 2);
            t.interlaced = 1;
            *out = t;
            return true;
        }
    }
    return false;
}

bool parseTimingText(const std::string& text, VideoTiming* out)
{
    int w = 0, h = 0, r = 0, used = 0;
    if (std::sscanf(text.c_str(), "%dx%d@%d%n", &w, &h, &r, &used) == 3 && size_t(used) == text.size() &&
        text.find_first_of(" +-") == std::string::npos)
        return standardTiming(w, h, r, out);
    used = 0;
    if (std::sscanf(text.c_str(), "%dx%di@%d%n", &w, &h, &r, &used) == 3 && size_t(used) == text.size() &&
        text.find_first_of(" +-") == std::string::npos)
        return interlacedTiming(w, h, r, out);
    return false;
}
