#include "video_io/it6602/zevlo_it6602.h"
#include "core/globals.h"
#include "platform/i2c_devices.h"
#include "video_io/drv_i2c.h"
#include "video_io/receiver.h"
#include "video_io/zevlosource.h"

namespace {
// Above this pixel clock the receiver hands the scaler two pixels per clock.
constexpr float kSdrLimitMHz = 165.0f;
} // namespace

zevlo_it6602::zevlo_it6602(Drv_I2C0& bus, zevlosource& owner, int source)
    : m_bus(bus)
    , m_owner(owner)
    , m_source(source)
{
}

int zevlo_it6602::IT6602_init()
{
    m_known = false;
    if (m_state == VSTATE_VideoOn)
        IT6602SwitchVideoState(VSTATE_Off);
    return rx_reset(m_bus, m_source, vbus::kIt6602);
}

void zevlo_it6602::IT6602_poll()
{
    rx_poll(
        m_bus, m_source, vbus::kIt6602, &m_known, &m_audio, [this] { return m_state == VSTATE_VideoOn; },
        [this](bool video) { IT6602SwitchVideoState(video ? VSTATE_VideoOn : VSTATE_Off); });
}

void zevlo_it6602::IT6602SwitchVideoState(VideoState state)
{
    VYX_DEBUG("[it6602] source %d video %s\n", m_source, state == VSTATE_VideoOn ? "on" : "off");
    const VideoState was = m_state;
    m_state = state;
    IT6602VideoOutputEnable(state == VSTATE_VideoOn);
    // Polarity, interlace, clock or a replug change what the scaler shows
    // even when the size and rate in the image stay.
    if (was == VSTATE_VideoOn || m_state == VSTATE_VideoOn)
        rx_announce_timing();
}

void zevlo_it6602::IT6602VideoOutputEnable(bool enable)
{
    if (enable) {
        HDMI_INFO rec;
        m_audio = rx_source_shown(m_source);
        if (rx_set_outputs(m_bus, m_source, vbus::kIt6602, true, m_audio) == 0 &&
            rx_read_timing(m_bus, m_source, vbus::kIt6602, &rec) == 0) {
            rec.type = 0;
            rec.lane = 0;
            rec.datamode = rec.pfreq > kSdrLimitMHz ? 1 : 0;
            m_owner.write_hdminfo(m_source, rec);
            return;
        }
        // Measured nothing: look again on the next poll.
        m_known = false;
        m_state = VSTATE_Off;
    }
    m_audio = false;
    rx_set_outputs(m_bus, m_source, vbus::kIt6602, false, false);
    m_owner.clear_hdminfo(m_source);
}

int zevlo_it6602::IT6602HPDCtrl(bool high)
{
    if (!high && m_state == VSTATE_VideoOn)
        IT6602SwitchVideoState(VSTATE_Off);
    // The receiver may have settled back to the state it last reported
    // before anyone looked: read it afresh rather than wait for a change.
    m_known = false;
    return rx_set_hpd(m_bus, m_source, vbus::kIt6602, high);
}
