// Register and RAM access of the FPGAs, the PC-visible register shadow and
// the screen control codes.
#include "fpga/fpga_manage.h"

#include <QMutexLocker>
#include <vector>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"
#include "video_io/zevlosource.h"

namespace {
// Command word: bit 0 read, bits 1-4 the command.
constexpr uint32_t kRead = 0x01;
constexpr uint32_t kRamCommand = 1u << 1;
constexpr uint32_t kRegCommand = 2u << 1;

uint32_t ramWord(bool read, uint8_t ram, uint32_t addr)
{
    return (read ? kRead : 0) | kRamCommand | uint32_t(ram) << 8 | (addr & 0xFFF) << 16;
}

uint32_t regWord(bool read, uint8_t reg, uint8_t mask)
{
    return (read ? kRead : 0) | kRegCommand | uint32_t(reg) << 16 | uint32_t(mask) << 24;
}

bool hardwareRegister(uint8_t reg) { return reg < 64 || (reg >= 128 && reg < fpga_manage::kRegs); }
} // namespace

// One access: select the FPGA, command word, command line low, data phase,
// both selects high.
int fpga_manage::access(uint8_t fpga, uint32_t command, const uint8_t* tx, uint8_t* rx, uint32_t len)
{
    if (!valid(fpga) || len == 0 || !fpga_drv::pads_ready())
        return 255;
    int fd = p_fpga_drv->link_fd(fpga);
    uint8_t word[4];
    putLe32(word, command);
    platform::SocWindow& pads = platform::socWindow();
    QMutexLocker lock(&Utils::_spi_mutex);
    pads.write16(fpga_pads::kCommand[fpga], fpga_pads::kPadHigh);
    pads.write16(fpga_pads::kSelect[1 - fpga], fpga_pads::kPadHigh);
    pads.write16(fpga_pads::kSelect[fpga], fpga_pads::kPadLow);
    bool ok = p_fpga_drv->SPI_Transfer_Write(fd, word, 4) > 0;
    pads.write16(fpga_pads::kCommand[fpga], fpga_pads::kPadLow);
    if (ok)
        ok = (rx ? p_fpga_drv->SPI_Transfer(fd, tx, rx, int(len)) : p_fpga_drv->SPI_Transfer_Write(fd, tx, int(len))) > 0;
    pads.write16(fpga_pads::kSelect[0], fpga_pads::kPadHigh);
    pads.write16(fpga_pads::kSelect[1], fpga_pads::kPadHigh);
    return ok ? 0 : 255;
}

int fpga_manage::write_fpga_register(uint8_t reg, uint8_t value, uint8_t fpga, uint8_t mask)
{
    return access(fpga, regWord(false, reg, mask), &value, nullptr, 1);
}

int fpga_manage::read_fpga_register(uint8_t reg, uint8_t* value, uint8_t fpga)
{
    uint8_t tx = 0xFF, rx = 0;
    int rc = access(fpga, regWord(true, reg, 0), &tx, &rx, 1);
    if (rc == 0 && value)
        *value = rx;
    return rc;
}

int fpga_manage::write_fpga_ram(const uint8_t* buf, uint32_t addr, uint32_t len, uint8_t ram_id, uint8_t fpga)
{
    if (!buf)
        return 255;
    return access(fpga, ramWord(false, ram_id, addr), buf, nullptr, len);
}

int fpga_manage::read_fpga_ram(uint8_t* buf, uint32_t addr, uint32_t len, uint8_t ram_id, uint8_t fpga)
{
    if (!buf)
        return 255;
    std::vector<uint8_t> idle(len, 0xFF);
    return access(fpga, ramWord(true, ram_id, addr), idle.data(), buf, len);
}

// ---------------------------------------------------------------------------
// Register shadow

void fpga_manage::read_from_register(uint8_t reg, uint8_t fpga)
{
    if (!valid(fpga) || !hardwareRegister(reg))
        return;
    uint8_t v = 0;
    if (read_fpga_register(reg, &v, fpga) != 0)
        return;
    pthread_mutex_lock(&reg_mutex);
    m_reg_shadow[fpga][reg] = v;
    pthread_mutex_unlock(&reg_mutex);
}

uint8_t fpga_manage::shadow(uint8_t reg, uint8_t fpga)
{
    if (!valid(fpga) || reg >= kRegs)
        return 0;
    pthread_mutex_lock(&reg_mutex);
    uint8_t v = m_reg_shadow[fpga][reg];
    pthread_mutex_unlock(&reg_mutex);
    return v;
}

bool fpga_manage::write_to_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga)
{
    return masked_write(reg, mask, value, fpga, true);
}

void fpga_manage::write_to_0x00_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga)
{
    masked_write(reg, mask, value, fpga, false);
}

bool fpga_manage::masked_write(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga, bool full)
{
    if (!valid(fpga) || reg >= kRegs || (reg >= 97 && reg <= 127))
        return true;
    if (reg >= 64 && reg <= 96) {
        pthread_mutex_lock(&reg_mutex);
        uint8_t& r = m_reg_shadow[fpga][reg];
        r = uint8_t((r & ~mask) | (value & mask));
        pthread_mutex_unlock(&reg_mutex);
        return true;
    }
    read_from_register(reg, fpga);
    pthread_mutex_lock(&reg_mutex);
    uint8_t& r = m_reg_shadow[fpga][reg];
    r = uint8_t((r & ~mask) | (value & mask));
    uint8_t v = r;
    pthread_mutex_unlock(&reg_mutex);

    bool stored = true;
    if (full && reg == 2) {
        // Bit 2 asks for the command image to be handled, bit 1 is the PC's
        // own: neither reaches the FPGA, the shadow keeps both.
        if (v & 0x04) {
            v &= uint8_t(~0x04);
            stored = Dealwith_mcu_ram();
        }
        v &= uint8_t(~0x02);
    }
    if (reg == 0) {
        bool blank = v & 0x04;
        ScreenState = blank ? 0 : 1;
        // Only a plain on/off (mask 4) outside an LED-parameter change is
        // the user's: it becomes the image's LED-off word.
        VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
        if (full && mask == 0x04 && g_set_led_para.load() == 0 && store) {
            putLe16(store->ram_para + ram::kLedOff, blank ? 1 : 0);
            store->test_signal(kChangeRefresh);
        }
        pthread_mutex_lock(&reg_mutex);
        MCU_RAM_EXTEND[29] = ScreenState.load();
        pthread_mutex_unlock(&reg_mutex);
    }
    write_fpga_register(reg, v, fpga, mask);
    return stored;
}

void fpga_manage::FPGA_to_RAM(uint8_t fpga)
{
    for (uint8_t r = 28; r <= 31; ++r) {
        read_from_register(r, fpga);
        MCU_RAM_CMD[12 + r - 28] = shadow(r, fpga);
    }
}

// ---------------------------------------------------------------------------
// State

int fpga_manage::get_fpga_status()
{
    pthread_mutex_lock(&reg_mutex);
    uint8_t state = m_reg_shadow[0][80], control = m_reg_shadow[0][0];
    pthread_mutex_unlock(&reg_mutex);
    return state == 3 && power_state[0].load() == 7 && check_state[0].load() >= 16 && !(control & 0x08) ? 1 : 0;
}

uint16_t fpga_manage::get_wlan_state()
{
    if (shadow(80, 0) != 3)
        return 0;
    read_from_register(128, 0);
    read_from_register(144, 0);
    return uint16_t(shadow(144, 0) << 8 | shadow(128, 0));
}

void fpga_manage::check_wlanonline_state()
{
    uint16_t mask = 0;
    if (link_chip_ready() && shadow(80, 0) == 3) {
        read_from_register(128, 0);
        read_from_register(144, 0);
        mask = uint16_t(shadow(144, 0) << 8 | shadow(128, 0));
    }
    if (get_fpga_status() == 1 && mask != wlan_last) {
        if (VyxRamPara::p_vyxrampara_config)
            VyxRamPara::p_vyxrampara_config->test_signal(kChangePortState);
        wlan_last = mask;
    }
}

void fpga_manage::SCREEN_fpgactrl_status(uint8_t code)
{
    switch (code) {
    case SCREEN_BLANK:
        write_to_register(0, 0x04, 0x04, 0);
        break;
    case SCREEN_LIT:
        write_to_register(0, 0x04, 0x00, 0);
        break;
    case LED_OUTPUT_ON:
        write_to_register(3, 0x20, 0x20, 0);
        break;
    case LED_OUTPUT_OFF:
        write_to_register(3, 0x20, 0x00, 0);
        break;
    default:
        break;
    }
}

void fpga_manage::SCREEN_fpgactrl_status2(uint8_t code, uint8_t fpga)
{
    switch (code) {
    case SCREEN_BLANK:
        write_to_0x00_register(0, 0x04, 0x04, fpga);
        break;
    case SCREEN_LIT:
        write_to_0x00_register(0, 0x04, 0x00, fpga);
        break;
    case LED_OUTPUT_ON:
        write_to_register(3, 0x20, 0x20, fpga);
        break;
    case LED_OUTPUT_OFF:
        write_to_register(3, 0x20, 0x00, fpga);
        break;
    case SCREEN_RELEASE:
        write_to_register(23, 0x08, 0x00, fpga);
        break;
    default:
        break;
    }
}
