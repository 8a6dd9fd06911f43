// The output-port layout: each FPGA cuts its part of the LED screen into one
// rectangle per output port, kept in its parameter RAM and, without the
// global picture offset, in its layout block. Also the port links, the
// read-back check after start-up and the LED-screen changes the screens and
// the scaler ask for.
#include "fpga/fpga_manage.h"

#include <QMutexLocker>
#include <algorithm>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_layout.h"

using namespace fpga_layout;

namespace {
uint16_t imageWord(int offset)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store ? le16(store->ram_para + offset) : 0;
}

// Link bit of slot s in the parameter RAM.
bool slotLinked(const uint8_t* ram, int s)
{
    if (s < 2)
        return ram[kLinks0] & (1u << s);
    if (s < 4)
        return ram[kLinks0] & (1u << (s + 1));
    if (s < 8)
        return ram[kLinks1] & (1u << (s - 4));
    return ram[kLinks2] & (1u << (s - 8));
}
} // namespace

int fpga_manage::get_eth_param_addr(uint8_t slot, unsigned short* x, unsigned short* y, unsigned short* w,
                                    unsigned short* h)
{
    int base = rectBase(slot);
    if (x)
        *x = uint16_t(base);
    if (y)
        *y = uint16_t(base + 2);
    if (w)
        *w = uint16_t(base + 4);
    if (h)
        *h = uint16_t(base + 6);
    return 0;
}

void fpga_manage::ram_para_write(uint8_t fpga, uint32_t offset, const uint8_t* from, uint32_t n)
{
    if (!valid(fpga) || offset > uint32_t(kRamImage) || n > uint32_t(kRamImage) - offset)
        return;
    std::lock_guard<std::mutex> lock(ram_para_mutex);
    copyShared(m_ram_para[fpga] + offset, from, n);
}

void fpga_manage::ram_para_read(uint8_t fpga, uint32_t offset, uint8_t* to, uint32_t n)
{
    if (!valid(fpga) || offset > uint32_t(kRamImage) || n > uint32_t(kRamImage) - offset)
        return;
    std::lock_guard<std::mutex> lock(ram_para_mutex);
    copyShared(to, m_ram_para[fpga] + offset, n);
}

int fpga_manage::get_eth_min_x_y(uint8_t fpga, unsigned short* x, unsigned short* y)
{
    if (!valid(fpga))
        return 0;
    const uint8_t* ram = m_ram_para[fpga];
    uint16_t minX = 0xFFFF, minY = 0xFFFF;
    for (int s = 0; s < kWiredSlots; ++s) {
        minX = std::min(minX, le16(ram + rectBase(s)));
        minY = std::min(minY, le16(ram + rectBase(s) + 2));
    }
    if (x)
        *x = minX;
    if (y)
        *y = minY;
    return 0;
}

int fpga_manage::get_eth_max_border(uint8_t fpga, unsigned short* right, unsigned short* bottom)
{
    if (!valid(fpga))
        return 0;
    const uint8_t* ram = m_ram_para[fpga];
    uint16_t maxR = 0, maxB = 0;
    for (int s = 0; s < kWiredSlots; ++s) {
        const uint8_t* r = ram + rectBase(s);
        maxR = std::max(maxR, uint16_t(le16(r) + le16(r + 4)));
        maxB = std::max(maxB, uint16_t(le16(r + 2) + le16(r + 6)));
    }
    if (right)
        *right = maxR;
    if (bottom)
        *bottom = maxB;
    return 0;
}

int fpga_manage::get_eth_lcd_x_y(uint8_t fpga, unsigned short* x, unsigned short* y)
{
    if (!valid(fpga))
        return 0;
    if (x)
        *x = le16(m_ram_para[fpga] + kOriginX);
    if (y)
        *y = le16(m_ram_para[fpga] + kOriginY);
    return 0;
}

int fpga_manage::get_eth_lcd_w_h(uint8_t fpga, unsigned short* w, unsigned short* h)
{
    if (!valid(fpga))
        return 0;
    if (w)
        *w = le16(m_ram_para[fpga] + kScreenW);
    if (h)
        *h = le16(m_ram_para[fpga] + kScreenH);
    return 0;
}

void fpga_manage::eth_param_init(uint8_t mode, uint8_t fpga)
{
    if (mode != 1 || !valid(fpga))
        return;
    for (int s = 0; s < kWiredSlots; ++s) {
        uint8_t* r = m_ram_para[fpga] + rectBase(s);
        putLe16(r, 0);
        putLe16(r + 2, 0);
        putLe16(r + 4, 1280);
        putLe16(r + 6, 512);
    }
}

void fpga_manage::Q58_back_mcu_set_net_para(uint8_t fpga)
{
    if (!valid(fpga))
        return;
    const uint8_t* ram = m_ram_para[fpga];
    uint8_t* block = m_eth_back_para[fpga];
    putLe16(block + kBlockW, le16(ram + kScreenW));
    putLe16(block + kBlockH, le16(ram + kScreenH));
    for (int s = 0; s < kSlots; ++s)
        for (int k = 0; k < 8; ++k)
            block[blockRect(s) + k] = ram[rectBase(s) + k];
    putLe16(block + kBlockOriginX, le16(ram + kOriginX));
    putLe16(block + kBlockOriginY, le16(ram + kOriginY));
}

void fpga_manage::Q58_mcu_set_net_para(uint8_t fpga)
{
    if (!valid(fpga))
        return;
    uint8_t* ram = m_ram_para[fpga];
    const uint8_t* block = m_eth_back_para[fpga];
    uint16_t dx = imageWord(ram::kPictureOffsetX), dy = imageWord(ram::kPictureOffsetY);
    // The screen width goes to the FPGA in whole 32-pixel units.
    putLe16(ram + kScreenW, uint16_t((le16(block + kBlockW) + dx + 31) & ~31u));
    putLe16(ram + kScreenH, uint16_t(le16(block + kBlockH) + dy));
    for (int s = 0; s < kSlots; ++s) {
        putLe16(ram + rectBase(s), uint16_t(le16(block + blockRect(s)) + dx));
        putLe16(ram + rectBase(s) + 2, uint16_t(le16(block + blockRect(s) + 2) + dy));
    }
}

void fpga_manage::update_eth_state(uint8_t fpga)
{
    if (!valid(fpga))
        return;
    read_from_register(128, fpga);
    read_from_register(144, fpga);
    uint8_t r128 = shadow(128, fpga), r144 = shadow(144, fpga);
    uint8_t* ram = m_ram_para[fpga];
    const uint8_t next[3] = {
        uint8_t((ram[kLinks0] & ~kLinks0Mask) | (r128 & 0x03) | ((r128 & 0x0C) << 1)),
        uint8_t((ram[kLinks1] & 0xF0) | (r128 >> 4)),
        r144,
    };
    const int at[3] = {kLinks0, kLinks1, kLinks2};
    for (int i = 0; i < 3; ++i) {
        if (ram[at[i]] == next[i])
            continue;
        ram[at[i]] = next[i];
        write_fpga_ram(ram + at[i], uint32_t(at[i]), 1, kParamRam, fpga);
    }
    // A port without a link has no cards until the card search finds them.
    for (int s = 0; s < kWiredSlots; ++s) {
        if (slotLinked(ram, s))
            continue;
        putLe16(ram + kCardCount[s], 0);
        ram[kCardStatus[s]] = 0;
        write_fpga_ram(ram + kCardCount[s], uint32_t(kCardCount[s]), 2, kParamRam, fpga);
        write_fpga_ram(ram + kCardStatus[s], uint32_t(kCardStatus[s]), 1, kParamRam, fpga);
    }
}

uint8_t fpga_manage::check_fpga_ram_param(uint8_t fpga)
{
    if (!valid(fpga))
        return 0;
    const uint8_t* ram = m_ram_para[fpga];
    for (int s = 0; s < kWiredSlots; ++s) {
        for (int k = 0; k < 4; ++k) {
            uint32_t at = uint32_t(rectBase(s) + 2 * k);
            uint8_t got[2] = {};
            if (read_fpga_ram(got, at, 2, kParamRam, fpga) != 0 || le16(got) != le16(ram + at))
                return 0;
        }
    }
    for (int s = 0; s < kWiredSlots; ++s) {
        for (int k = 0; k < 2; ++k) {
            uint32_t at = uint32_t(kSlotPair + 4 * s + 2 * k);
            uint8_t got[2] = {};
            if (read_fpga_ram(got, at, 2, kParamRam, fpga) != 0 || le16(got) != le16(ram + at))
                return 0;
        }
    }
    return 1;
}

uint8_t fpga_manage::set_output_status()
{
    if (get_fpga_status() != 1)
        return 0;
    SCREEN_fpgactrl_status(imageWord(ram::kLedOff) == 0 ? SCREEN_LIT : SCREEN_BLANK);
    return 1;
}

void fpga_manage::set_led_para_deal()
{
    uint8_t request = g_set_led_para.load();
    if (request == 1) {
        uint8_t step = g_set_led_setup.load();
        uint32_t since = Utils::getTimeSpace(led_stamp);
        if (step == 0) {
            SCREEN_fpgactrl_status(SCREEN_BLANK);
            led_stamp = G_timeTicks.load();
            QMutexLocker lock(&Utils::_led_para_init_mutex);
            g_set_led_setup = 1;
        } else if (step == 1 && since >= 11) {
            led_stamp = G_timeTicks.load();
            SCREEN_fpgactrl_status(LED_OUTPUT_OFF);
            QMutexLocker lock(&Utils::_led_para_init_mutex);
            g_set_led_setup = 2;
        } else if (step == 2 && since >= 31) {
            led_stamp = G_timeTicks.load();
            // A new LED size the scaler waits with is followed by FPGA 0's
            // restart, which lights the screen. Otherwise nothing would light
            // it again until the next restart: the LED output comes back, the
            // screen lit unless the user's LED-off word asks for it dark
            // (while FPGA 0 is still starting, its start-up does both). Done
            // before the handshake ends, so these writes are not taken for
            // the user's on/off.
            if (!g_led_size_waiting.load() && get_fpga_status() == 1) {
                SCREEN_fpgactrl_status(LED_OUTPUT_ON);
                set_output_status();
            }
            QMutexLocker lock(&Utils::_led_para_init_mutex);
            g_set_led_setup = 0;
            g_set_led_para = 0;
        }
    } else if (request == 2) {
        {
            QMutexLocker lock(&Utils::_led_para_init_mutex);
            g_set_led_para = 0;
            g_set_led_setup = 0;
        }
        reset_fpga_rst(0);
    }
}
