// Bringing an FPGA up: the start-up steps, its initialisation from flash,
// the reset line and the post-start check that ends with the LED screen lit.
#include "fpga/fpga_manage.h"

#include <cstring>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"

using namespace fpga_layout;

namespace {
// Calls before the first start-up step (the FPGA loads its bitstream).
constexpr uint32_t kPowerWaitCalls = 301;
constexpr uint32_t kStepTicks = 5;
constexpr uint32_t kResetTicks = 50;
constexpr uint32_t kFpga1LookTicks = 100;
// A version register 31 in this range means an FPGA answers.
bool answers(uint8_t reg31) { return reg31 >= 25 && reg31 <= 48; }
constexpr uint16_t kStep2Errors = 5;
constexpr uint8_t kResetRetries = 3;
constexpr uint8_t kPollsPerCycle = 20;
constexpr uint8_t kCycles = 101;
// Frame period of the measured input, in 50 MHz clocks: 50 to 70 Hz.
constexpr uint32_t kPeriodMin = 714286, kPeriodMax = 999999;

uint16_t liveImageWord(int offset)
{
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    return store ? le16(store->ram_para + offset) : 0;
}
} // namespace

void fpga_manage::power_up_fpga_start(uint8_t check, uint8_t f)
{
    if (!valid(f))
        return;
    m_counting = false;
    if (check && shadow(80, f) == 3 && power_state[f].load() == 7)
        return;
    // Held in reset: the start-up begins again once the line is released.
    if (rst_pending[f])
        return;
    if (Utils::getTimeSpace(g_change.power_step_stamp[f]) <= kStepTicks)
        return;
    if (power_wait[f] < kPowerWaitCalls) {
        ++power_wait[f];
        m_counting = true;
        return;
    }
    uint32_t now = G_timeTicks.load();
    uint8_t state = power_state[f].load();
    // State 0 follows a reset: look at the FPGA afresh even when an earlier
    // reading of register 31 is still in the shadow.
    if (!answers(shadow(31, f)) || state == 0) {
        for (uint8_t r : {31, 30, 29, 28, 7})
            read_from_register(r, f);
        power_state[f] = 1;
        power_err[f] = 0;
        check_poll[f] = 0;
        // A reset the post-start check made keeps its back-off cycle.
        if (!m_check_reset[f])
            check_cycle[f] = 0;
        m_check_reset[f] = false;
        g_fpga_lcd_on = 0;
        g_change.power_step_stamp[f] = now;
        return;
    }
    switch (state) {
    case 1:
        write_to_register(3, 0x40, 0x40, f);
        power_state[f] = 2;
        VYX_DEBUG("[fpga %d] start-up step 1\n", f);
        break;
    case 2:
        read_from_register(22, f);
        if (shadow(22, f) & 0x08) {
            ++power_err[f];
            VYX_DEBUG("[fpga %d] start-up step 2 error %u\n", f, unsigned(power_err[f]));
            if (power_err[f] < kStep2Errors)
                break;
            ++rst_retry[f];
            if (rst_retry[f] < kResetRetries) {
                VYX_DEBUG("[fpga %d] start-up step 2 failed: reset %u\n", f, unsigned(rst_retry[f]));
                restart(f, true, false);
                break;
            }
        }
        power_state[f] = 3;
        break;
    case 3:
        write_to_register(3, 0x80, 0x80, f);
        power_state[f] = 5;
        power_err[f] = 0;
        rst_retry[f] = 0;
        VYX_DEBUG("[fpga %d] start-up step 3\n", f);
        break;
    case 5:
        read_from_register(22, f);
        if (shadow(22, f) & 0x10) {
            power_state[f] = 6;
            rst_retry[f] = 0;
            write_to_register(23, 0x01, 0x00, f);
        } else if (++power_err[f] > 5) {
            VYX_DEBUG("[fpga %d] start-up step 5 error\n", f);
            if (++rst_retry[f] >= kResetRetries)
                power_state[f] = 6;
        }
        break;
    case 6:
        write_to_register(23, 0x01, 0x01, f);
        write_to_register(80, 0xFF, 3, f);
        fpgainit(f);
        SCREEN_fpgactrl_status2(SCREEN_BLANK, f);
        power_state[f] = 7;
        check_stamp[f] = G_timeTicks.load();
        VYX_DEBUG("[fpga %d] running\n", f);
        break;
    default:
        break;
    }
    g_change.power_step_stamp[f] = now;
}

void fpga_manage::fpgainit(uint8_t f)
{
    if (!valid(f))
        return;
    uint8_t* ram = m_ram_para[f];
    read_from_register(22, f);
    write_to_register(22, 0x20, 0x00, f);
    record_bright_change();
    record_onoff_time(f);
    for (int i = 0; i < 3; ++i)
        read_from_register(21, f);

    int sel = f == 0 ? fpga_drv::kFlashSel0 : fpga_drv::kFlashSel0 + 1;
    uint8_t marker = 0;
    if (p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(sel, kFlashParamMarker, 1, &marker) != 1)
        marker = 0;
    uint8_t saved[kRamImage];
    const bool stored = marker == kMarker && p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(sel, kFlashParam, kRamImage, saved) == 1;
    // A PC's card search answered meanwhile writes the card table of this
    // same image, under the receive mutex.
    pthread_mutex_lock(&rcv_mutex);
    // The panel may be reading port rectangles: it sees the old layout or
    // the finished new one.
    std::unique_lock<std::mutex> layout(ram_para_mutex);
    if (stored) {
        std::memcpy(ram, saved, kRamImage);
        std::memset(ram + kReloadedBegin, 0, kReloadedEnd - kReloadedBegin);
        Q58_back_mcu_set_net_para(f);
        if (f == 0)
            Q58_mcu_set_net_para(f);
        VYX_DEBUG("[fpga %d] parameter RAM from flash\n", f);
    } else {
        std::memcpy(ram, RAM1, sizeof RAM1);
        for (int s = 0; s < kSlots; ++s) {
            uint8_t* p = ram + kSlotPair + 4 * s;
            putLe16(p, 0x0576);
            putLe16(p + 2, 0x01D2);
        }
        ram[kDefaultCleared[0]] = 0;
        ram[kDefaultCleared[1]] = 0;
        eth_param_init(1, f);
        Q58_back_mcu_set_net_para(f);
        VYX_DEBUG("[fpga %d] parameter RAM defaults\n", f);
    }
    layout.unlock();
    for (int i = 0; i < kPorts; ++i)
        ram[kPortNumbers + i] = uint8_t(10 * f + 1 + i);
    write_fpga_ram(ram, 0, kRamImage, kParamRam, f);
    pthread_mutex_unlock(&rcv_mutex);
    update_eth_state(f);
    FPGA_to_RAM(f);
    write_to_register(2, 0x08, 0x08, f);
    ram_check_result[f] = check_fpga_ram_param(f);
    VYX_DEBUG("[fpga %d] parameter RAM check %s\n", f, ram_check_result[f] ? "ok" : "failed");
    if (!ram_check_result[f])
        reset_fpga_rst(f);
}

void fpga_manage::reset_fpga_rst(uint8_t f) { restart(f, false, false); }

void fpga_manage::restart(uint8_t f, bool keepRetry, bool fromCheck)
{
    if (!valid(f))
        return;
    platform::socWindow().write16(fpga_pads::kReset[f], fpga_pads::kPadLow);
    rst_pending[f] = 1;
    rst_stamp[f] = G_timeTicks.load();
    if (!keepRetry)
        rst_retry[f] = 0;
    m_check_reset[f] = fromCheck;
    VYX_DEBUG("[fpga %d] reset\n", f);
}

void fpga_manage::check_fpga_rst()
{
    // FPGA 1 is released like FPGA 0 (its bitstream may have been
    // rewritten); only FPGA 0 is started again.
    for (uint8_t f = 0; f < kFpgas; ++f) {
        if (!rst_pending[f] || Utils::getTimeSpace(rst_stamp[f]) <= kResetTicks)
            continue;
        platform::socWindow().write16(fpga_pads::kReset[f], fpga_pads::kPadHigh);
        pthread_mutex_lock(&reg_mutex);
        m_reg_shadow[f][80] = 0;
        m_reg_shadow[f][31] = 0;
        pthread_mutex_unlock(&reg_mutex);
        check_state[f] = 0;
        g_change.rst_release_stamp = G_timeTicks.load();
        rst_pending[f] = 0;
        power_state[f] = 0;
        power_wait[f] = 0;
        power_err[f] = 0;
    }
}

void fpga_manage::check_fpga1_state()
{
    constexpr uint8_t f = 1;
    if (rst_pending[f] || (m_fpga1_looked && Utils::getTimeSpace(m_fpga1_stamp) < kFpga1LookTicks))
        return;
    m_fpga1_looked = true;
    m_fpga1_stamp = G_timeTicks.load();
    read_from_register(31, f);
    const uint8_t state = answers(shadow(31, f)) ? 3 : 0;
    if (shadow(80, f) != state) {
        write_to_register(80, 0xFF, state, f);
        VYX_DEBUG("[fpga 1] %s\n", state == 3 ? "running" : "not answering");
    }
}

void fpga_manage::power_up_check_fpga_status(uint8_t f)
{
    if (!valid(f) || shadow(80, f) != 3 || power_state[f].load() != 7 || rst_pending[f])
        return;
    uint32_t since = Utils::getTimeSpace(check_stamp[f]);
    auto step = [&](uint8_t next) {
        check_state[f] = next;
        check_stamp[f] = G_timeTicks.load();
    };
    switch (check_state[f].load()) {
    case 0:
        if (since <= 10)
            return;
        read_from_register(22, f);
        if (shadow(22, f) & 0x80) {
            step(7);
            return;
        }
        if (check_poll[f] < kPollsPerCycle * (check_cycle[f] + 1)) {
            ++check_poll[f];
        } else if (check_cycle[f] < kCycles) {
            // No input yet: restart the FPGA, waiting longer each cycle.
            ++check_cycle[f];
            VYX_DEBUG("[fpga %d] no video lock: reset (cycle %u)\n", f, unsigned(check_cycle[f]));
            restart(f, false, true);
        } else {
            step(7);
            return;
        }
        step(0);
        return;
    case 7: {
        if (since <= 10)
            return;
        uint8_t* m = m_ram_para[f] + kMeasured;
        read_fpga_ram(m, kMeasured, 8, kParamRam, f);
        uint16_t w = le16(m), h = le16(m + 2);
        uint32_t period = le32(m + 4);
        uint16_t ledW = liveImageWord(ram::kLedWidth), ledH = liveImageWord(ram::kLedHeight);
        if (w >= (ledW >> 1) && h >= (ledH >> 1) && period >= kPeriodMin && period <= kPeriodMax) {
            write_to_register(2, 0x01, 0x01, f);
            step(1);
        } else {
            step(7);
        }
        return;
    }
    case 1:
        if (since <= 30)
            return;
        write_to_register(41, 0x01, 0x01, f);
        step(8);
        write_to_register(23, 0x02, 0x02, f);
        return;
    case 8:
        if (since <= 5)
            return;
        read_from_register(23, f);
        step(shadow(23, f) & 0x02 ? 2 : 1);
        return;
    case 2:
        if (since < 11)
            return;
        read_from_register(41, f);
        ram_reloaded[f] = 1;
        step(9);
        return;
    case 9:
        write_to_register(23, 0x02, 0x00, f);
        step(10);
        return;
    case 10:
        if (since < 6)
            return;
        read_from_register(23, f);
        step(shadow(23, f) & 0x02 ? 9 : 3);
        return;
    case 3:
        if (ram_reloaded[f] == 1)
            step(14);
        else
            step(3);
        return;
    case 14:
        if (since <= 10)
            return;
        SCREEN_fpgactrl_status2(SCREEN_RELEASE, f);
        step(15);
        write_to_register(2, 0x01, 0x01, f);
        return;
    case 15:
        if (since <= 30)
            return;
        step(16);
        Brightness_hand_dealwith(nullptr);
        SCREEN_fpgactrl_status2(LED_OUTPUT_ON, f);
        g_fpga_lcd_on = 1;
        VYX_DEBUG("[fpga %d] LED output enabled: ready\n", f);
        if (VyxRamPara::p_vyxrampara_config)
            VyxRamPara::p_vyxrampara_config->test_signal(kChangeInputTiming);
        return;
    case 16:
        if (g_source_online.load() != 2 || since < 21)
            return;
        write_to_register(2, 0x01, 0x01, f);
        // A restart must not undo the user's "LED off".
        if (liveImageWord(ram::kLedOff) == 0) {
            SCREEN_fpgactrl_status2(SCREEN_LIT, f);
            VYX_DEBUG("[fpga %d] LED screen lit\n", f);
        } else {
            SCREEN_fpgactrl_status2(SCREEN_BLANK, f);
        }
        // Published once the screen stands as the state says: whoever waits
        // for "running" finds it lit or blanked.
        step(18);
        return;
    default:
        return;
    }
}
