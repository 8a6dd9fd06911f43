#pragma once
// Driver of one HDMI 1.4 receiver (sources 0..2): follows its video state
// and publishes the measured timing as the source's hdminfo record.

#include <cstdint>

class Drv_I2C0;
class zevlosource;

class zevlo_it6602 {
public:
    enum VideoState { VSTATE_Off = 0, VSTATE_VideoOn = 1 };

    zevlo_it6602(Drv_I2C0& bus, zevlosource& owner, int source);

    // Soft reset, hot-plug line high, outputs off; the state is read afresh
    // on the next poll. 0 or 255.
    int IT6602_init();
    // One look at the receiver; acts on a changed video state.
    void IT6602_poll();

    void IT6602SwitchVideoState(VideoState state);
    // On: the receiver drives its output and the timing is published.
    // Off: output off and the record says no signal.
    void IT6602VideoOutputEnable(bool enable);
    // Hot-plug line; pulling it low ends the source's signal.
    int IT6602HPDCtrl(bool high);

    VideoState video_state() const { return m_state; }

private:
    Drv_I2C0& m_bus;
    zevlosource& m_owner;
    int m_source;
    bool m_known = false;
    VideoState m_state = VSTATE_Off;
    bool m_audio = false;
};
