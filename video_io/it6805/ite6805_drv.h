#pragma once
// Low-level part of the HDMI 2.0 receiver (source 3) and its V-by-One
// transmitter: hot-plug line and the published timing.

#include <cstdint>

class Drv_I2C0;
class zevlosource;

class ite6805_drv {
public:
    ite6805_drv(Drv_I2C0& bus, zevlosource& owner);

    // Hot-plug line of the receiver's one port; low also ends the record.
    int iTE6805_Set_HPD_Ctrl(int port, int level);
    // Reads the measured timing, sets the V-by-One lane count for it and
    // publishes the record; on failure the record says no signal. 0 or 255.
    int iTE6805_update_hdmi();
    // Output off and the record says no signal.
    void iTE6805_video_off();
    int iTE6805_reset();

    uint8_t lanes() const { return m_lanes; }

private:
    Drv_I2C0& m_bus;
    zevlosource& m_owner;
    uint8_t m_lanes = 0;
};
