#pragma once
// Video timings: the standard modes the inputs announce in their EDIDs and
// that the simulated sources send, and a reduced-blanking formula for any
// other size.

#include <cstdint>
#include <string>

struct VideoTiming {
    uint16_t hact = 0, hsync = 0, hback = 0, htotal = 0;
    // Per field when interlaced: a 1080-line picture has vact 540.
    uint16_t vact = 0, vsync = 0, vback = 0, vtotal = 0;
    uint8_t hpol = 0, vpol = 0;     // 1 = positive sync
    uint8_t interlaced = 0;
    uint8_t vic = 0;                // CEA-861 video code, 0 when none
    uint32_t pclkKHz = 0;           // pixel clock

    // Frame (field, when interlaced) rate rounded to whole hertz; 0 for an
    // empty timing.
    int rate() const;
    bool operator==(const VideoTiming& o) const;
    bool operator!=(const VideoTiming& o) const { return !(*this == o); }
};

// The timing for width x height at rate Hz: the CEA or DMT timing when one
// exists, else reduced blanking. False when the request is out of range
// (widths 1..4096, heights 1..4095, rates 1..240).
bool standardTiming(int width, int height, int rate, VideoTiming* out);

// The interlaced CEA timing of a width x (frame) height picture at `rate`
// fields a second: 720x480i@60, 720x576i@50, 1920x1080i@50 and @60. False
// for any other.
bool interlacedTiming(int width, int height, int rate, VideoTiming* out);

// "1920x1080@60" -> the standard timing, "1920x1080i@60" -> the interlaced
// one. False for anything else.
bool parseTimingText(const std::string& text, VideoTiming* out);
