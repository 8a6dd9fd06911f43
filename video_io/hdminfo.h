#pragma once
// The timing record of one video source, shared with the scaler manager.
// Seventeen 32-bit words in this order; the scaler copies the first sixteen.

#include <cstdint>

struct HDMI_INFO {
    uint32_t Hact;
    uint32_t Hsync;
    uint32_t Hback;
    uint32_t Hpol;
    uint32_t Htotal;
    uint32_t Vact;
    uint32_t Vsync;
    uint32_t Vback;
    uint32_t Vpol;
    uint32_t Vtotal;
    float pfreq;        // pixel clock, MHz
    uint32_t type;      // 0 HDMI receiver, 1 V-by-One path
    uint32_t datamode;  // 0 SDR, 1 DDR
    uint32_t lane;      // V-by-One lane count
    uint32_t ip;        // 1 interlaced
    uint32_t nosignal;  // 1 no signal
    uint32_t stable;    // 1 the record is complete and may be copied
};
static_assert(sizeof(float) == 4, "pfreq is one 32-bit word");
static_assert(sizeof(HDMI_INFO) == 68, "hdminfo is 17 32-bit words");
