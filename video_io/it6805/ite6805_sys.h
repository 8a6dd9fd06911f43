#pragma once
// State handling of the HDMI 2.0 receiver (source 3): watches its sync
// detect and has the low-level part publish or end the timing record.

class Drv_I2C0;
class ite6805_drv;

class ite6805_sys {
public:
    ite6805_sys(Drv_I2C0& bus, ite6805_drv& drv);

    // Soft reset, hot-plug high; the state is read afresh on the next poll.
    int iTE6805_init();
    // One look at the receiver; a changed sync detect goes to the handler.
    void iTE6805_poll();
    // Sync detect changed: publish the timing, or end the record.
    void iTE6805_INT_SCDT_Chg(bool scdt);
    // Hot-plug line; the state is read afresh on the next poll.
    int iTE6805_hpd(bool high);

    bool video_on() const { return m_video; }

private:
    Drv_I2C0& m_bus;
    ite6805_drv& m_drv;
    bool m_known = false;
    bool m_video = false;
    bool m_audio = false;
};
