#include "video_io/receiver.h"
#include "core/change_codes.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/i2c_devices.h"
#include "video_io/drv_i2c.h"

#include <cstring>

namespace {
// Reads the change flag (or skips that when `force`), clears it and reads
// the status byte. 1 when there is news, 0 when nothing changed, -1 when
// the receiver did not answer.
int takeChange(Drv_I2C0& bus, int segment, uint8_t addr, bool force, uint8_t* status)
{
    if (!force) {
        uint8_t flag = 0;
        if (bus.read_reg(segment, addr, vbus::kRxInt, &flag) != 0)
            return -1;
        if (!(flag & 1))
            return 0;
    }
    // Clearing before reading the status: a change after this read raises
    // the flag again and is seen on the next look.
    if (bus.write_reg(segment, addr, vbus::kRxInt, 1) != 0 || bus.read_reg(segment, addr, vbus::kRxStatus, status) != 0)
        return -1;
    return 1;
}
} // namespace

void rx_poll(Drv_I2C0& bus, int source, uint8_t addr, bool* known, bool* audio,
             const std::function<bool()>& videoOn, const std::function<void(bool)>& change)
{
    uint8_t status = 0;
    int news = takeChange(bus, source, addr, !*known, &status);
    if (news < 0) {
        // A receiver that does not answer shows nothing.
        *known = false;
        if (videoOn())
            change(false);
        return;
    }
    if (news > 0) {
        *known = true;
        change((status & vbus::kRxStatusScdt) != 0);
    }
    bool shown = rx_source_shown(source);
    if (videoOn() && shown != *audio && rx_set_outputs(bus, source, addr, true, shown) == 0)
        *audio = shown;
}

int rx_read_timing(Drv_I2C0& bus, int segment, uint8_t addr, HDMI_INFO* rec)
{
    uint8_t t[vbus::kRxTimingLen];
    if (bus.read_regs(segment, addr, vbus::kRxTiming, t, vbus::kRxTimingLen) != 0)
        return 255;
    uint32_t clockKHz = le32(t + 17);
    uint16_t htotal = le16(t + 6), vtotal = le16(t + 14);
    if (!clockKHz || !htotal || !vtotal || !le16(t) || !le16(t + 8))
        return 255;
    std::memset(rec, 0, sizeof *rec);
    rec->Hact = le16(t);
    rec->Hsync = le16(t + 2);
    rec->Hback = le16(t + 4);
    rec->Htotal = htotal;
    rec->Vact = le16(t + 8);
    rec->Vsync = le16(t + 10);
    rec->Vback = le16(t + 12);
    rec->Vtotal = vtotal;
    rec->Hpol = t[16] & 1;
    rec->Vpol = (t[16] >> 1) & 1;
    rec->ip = (t[16] >> 2) & 1;
    rec->pfreq = float(clockKHz) / 1000.0f;
    rec->nosignal = 0;
    return 0;
}

int rx_set_outputs(Drv_I2C0& bus, int segment, uint8_t addr, bool video, bool audio)
{
    return bus.write_reg(segment, addr, vbus::kRxOut, uint8_t((video ? 1 : 0) | (audio ? 2 : 0)));
}

int rx_set_hpd(Drv_I2C0& bus, int segment, uint8_t addr, bool high)
{
    return bus.write_reg(segment, addr, vbus::kRxHpd, high ? 1 : 0);
}

int rx_reset(Drv_I2C0& bus, int segment, uint8_t addr) { return bus.write_reg(segment, addr, vbus::kRxReset, 1); }

bool rx_source_shown(int source)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store && store->VyxSourceId_is_on(static_cast<unsigned char>(source)) == 1;
}

void rx_announce_timing()
{
    if (VyxRamPara* store = VyxRamPara::p_vyxrampara_config)
        store->test_signal(kChangeInputTiming);
}
