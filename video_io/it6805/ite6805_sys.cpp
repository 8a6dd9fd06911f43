#include "video_io/it6805/ite6805_sys.h"
#include "core/globals.h"
#include "platform/i2c_devices.h"
#include "video_io/drv_i2c.h"
#include "video_io/it6805/ite6805_drv.h"
#include "video_io/receiver.h"

namespace {
constexpr int kSysSource = 3;
}

ite6805_sys::ite6805_sys(Drv_I2C0& bus, ite6805_drv& drv)
    : m_bus(bus)
    , m_drv(drv)
{
}

int ite6805_sys::iTE6805_init()
{
    m_known = false;
    if (m_video)
        iTE6805_INT_SCDT_Chg(false);
    return m_drv.iTE6805_reset();
}

void ite6805_sys::iTE6805_poll()
{
    rx_poll(
        m_bus, kSysSource, vbus::kIt6805, &m_known, &m_audio, [this] { return m_video; },
        [this](bool scdt) { iTE6805_INT_SCDT_Chg(scdt); });
}

void ite6805_sys::iTE6805_INT_SCDT_Chg(bool scdt)
{
    VYX_DEBUG("[it6805] sync %s\n", scdt ? "detected" : "lost");
    const bool was = m_video;
    if (scdt) {
        m_audio = rx_source_shown(kSysSource);
        if (rx_set_outputs(m_bus, kSysSource, vbus::kIt6805, true, m_audio) == 0 && m_drv.iTE6805_update_hdmi() == 0) {
            m_video = true;
            // A new timing, or the same one again after a replug.
            rx_announce_timing();
            return;
        }
        m_known = false;
    }
    m_video = false;
    m_audio = false;
    m_drv.iTE6805_video_off();
    if (was)
        rx_announce_timing();
}

int ite6805_sys::iTE6805_hpd(bool high)
{
    if (!high) {
        m_video = false;
        m_audio = false;
    }
    m_known = false;
    return m_drv.iTE6805_Set_HPD_Ctrl(0, high ? 1 : 0);
}
