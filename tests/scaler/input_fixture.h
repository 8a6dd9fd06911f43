#pragma once
// The scaler brought up on the simulated chip with the input-source
// manager's records beside it (its thread not started): a test plugs a
// source by publishing its record and pinning what reaches its port.

#include "tests/scaler/scaler_fixture.h"

#include <QMutexLocker>

#include "platform/c331_sim.h"
#include "video_io/video_timing.h"
#include "video_io/zevlosource.h"

using Feed = platform::SimScalerChip::PortFeed;
using Counters = platform::SimScalerChip::Counters;

inline VideoTiming progressive(int w, int h, int rate)
{
    VideoTiming t;
    EXPECT_TRUE(standardTiming(w, h, rate, &t)) << w << "x" << h << "@" << rate;
    return t;
}

inline VideoTiming interlaced(int w, int h, int rate)
{
    VideoTiming t;
    EXPECT_TRUE(interlacedTiming(w, h, rate, &t)) << w << "x" << h << "i@" << rate;
    return t;
}

// The chip port a source enters.
inline int portOf(int source)
{
    static const int kPorts[4] = {2, 1, 0, 5};
    return kPorts[source];
}

// The record a receiver publishes for a timing: V-by-One for source 3 with
// `lanes`, DDR above 165 MHz otherwise (as the drivers decide).
inline HDMI_INFO sourceRecord(int source, const VideoTiming& t, int lanes)
{
    HDMI_INFO r{};
    r.Hact = t.hact;
    r.Hsync = t.hsync;
    r.Hback = t.hback;
    r.Hpol = t.hpol;
    r.Htotal = t.htotal;
    r.Vact = t.vact;
    r.Vsync = t.vsync;
    r.Vback = t.vback;
    r.Vpol = t.vpol;
    r.Vtotal = t.vtotal;
    r.pfreq = float(t.pclkKHz) / 1000.0f;
    r.type = source == 3 ? 1 : 0;
    r.lane = source == 3 ? uint32_t(lanes) : 0;
    r.datamode = source != 3 && t.pclkKHz > 165000 ? 1 : 0;
    r.ip = t.interlaced;
    r.nosignal = 0;
    r.stable = 1;
    return r;
}

// Source `source` plugged with timing `t` (nullptr: unplugged): its record
// published, its port fed.
inline void plugSource(zevlosource* sources, int source, const VideoTiming* t, int lanes)
{
    using Chip = platform::SimScalerChip;
    if (t) {
        sources->write_hdminfo(source, sourceRecord(source, *t, lanes));
        platform::simScaler().setPortFeed(portOf(source), Chip::feedOf(*t, source == 3 ? lanes : 0));
    } else {
        sources->clear_hdminfo(source);
        platform::simScaler().setPortFeed(portOf(source), Chip::PortFeed());
    }
}

// The V-by-One lanes the HDMI 2.0 receiver takes for a clock: 75 MHz each.
inline int lanesFor(uint32_t pclkKHz)
{
    int lanes = 1;
    while (lanes < 8 && pclkKHz > 75000u * unsigned(lanes))
        lanes *= 2;
    return lanes;
}

class InputTest : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        sources = zevlosource::pInstance(); // its thread is not started
        bringUp();
        fd = scaler->c331_fd;
    }

    void plug(int source, const VideoTiming& t, int lanes = 2) { plugSource(sources, source, &t, lanes); }
    void unplug(int source) { plugSource(sources, source, nullptr, 0); }
    // One upkeep: records copied, ports measured, windows of changed ports relaid.
    void upkeep() { turn(); }

    // Window w alone on the screen's output channel k, on port `port`, with
    // input channel c (as a relayout leaves it).
    void placeWindow(int w, int k, int port)
    {
        scaler->win_loaded[w] = 1;
        scaler->PM_WIN_SHAPE[w][0] = scaler->PM_WIN_SHAPE[w][1] = 1;
        scaler->PM_INPUT[w] = port;
        scaler->PM_WIN_NUM[k] = w;
        scaler->PM_AREA_NUM[k] = 0;
    }
    // No window anywhere.
    void noWindows()
    {
        for (int w = 0; w < 6; ++w) {
            scaler->win_loaded[w] = 0;
            scaler->PM_WIN_SHAPE[w][0] = scaler->PM_WIN_SHAPE[w][1] = 0;
            scaler->PM_INPUT[w] = 6;
            scaler->PM_WIN_DBD_MODE[w] = 0;
            scaler->g_chg_input[w] = scaler->g_chg_win[w] = scaler->g_chg_dbd[w] = 0;
            for (int c = 0; c < 8; ++c)
                scaler->win_ich[w][c] = -1;
        }
        for (int k = 0; k < 8; ++k)
            scaler->PM_WIN_NUM[k] = 6;
        for (int c = 0; c < 8; ++c)
            scaler->ich_win[c] = -1;
    }

    zevlosource* sources = nullptr;
    int fd = -1;
};
