#include "video_io/it6805/ite6805_drv.h"
#include "platform/i2c_devices.h"
#include "video_io/drv_i2c.h"
#include "video_io/receiver.h"
#include "video_io/zevlosource.h"

namespace {
constexpr int kSource = 3;

// One V-by-One lane carries up to 75 MHz of pixels; lanes come in powers of two.
uint8_t lanesFor(float mhz)
{
    uint8_t lanes = 1;
    while (lanes < 8 && mhz > 75.0f * lanes)
        lanes = uint8_t(lanes * 2);
    return lanes;
}
} // namespace

ite6805_drv::ite6805_drv(Drv_I2C0& bus, zevlosource& owner)
    : m_bus(bus)
    , m_owner(owner)
{
}

int ite6805_drv::iTE6805_Set_HPD_Ctrl(int port, int level)
{
    if (port != 0)
        return 255;
    if (!level)
        m_owner.clear_hdminfo(kSource);
    return rx_set_hpd(m_bus, kSource, vbus::kIt6805, level != 0);
}

int ite6805_drv::iTE6805_update_hdmi()
{
    HDMI_INFO rec;
    if (rx_read_timing(m_bus, kSource, vbus::kIt6805, &rec) == 0) {
        uint8_t lanes = lanesFor(rec.pfreq);
        if (m_bus.write_reg(kSource, vbus::kIt6805, vbus::kRxVboLanes, lanes) == 0) {
            m_lanes = lanes;
            rec.type = 1;
            rec.datamode = 0;
            rec.lane = lanes;
            m_owner.write_hdminfo(kSource, rec);
            return 0;
        }
    }
    m_owner.clear_hdminfo(kSource);
    return 255;
}

void ite6805_drv::iTE6805_video_off()
{
    rx_set_outputs(m_bus, kSource, vbus::kIt6805, false, false);
    m_owner.clear_hdminfo(kSource);
}

int ite6805_drv::iTE6805_reset() { return rx_reset(m_bus, kSource, vbus::kIt6805); }
