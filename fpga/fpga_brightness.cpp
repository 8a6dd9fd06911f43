// LED brightness and the daily on/off schedule of FPGA 0, and the clock
// reading they share with the upgrade.
//
// The brightness reaches FPGA 0 as register 6 (register 3 bit 2 takes it);
// the value to apply is kept in shadow register 64. The PC sets the clock,
// the on/off table and the brightness through the command image; the panel
// sets the brightness in the parameter image (ram 2176, 0-100), which the
// scaler hands over by raising the brightness flag.
#include "fpga/fpga_manage.h"

#include <QMutexLocker>
#include <QDateTime>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "platform/clock.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
using BS = BrightnessSchedule;

constexpr int kFlashSel0 = fpga_drv::kFlashSel0;
constexpr uint8_t kCommandPresent = 0xAA;
constexpr uint8_t kStore = 0xAA, kErase = 0x55;
constexpr uint8_t kCmdClock = 1, kCmdOnOff = 2, kCmdBrightness = 3;
constexpr int kRecordHead = 8;           // bytes in front of a command's data
// The controller's own fields of the command image (its version, 0xFF, 1,
// the port state), which the PC reads: a record loaded from flash leaves
// them as they are.
constexpr uint32_t kControllerFirst = 24, kControllerEnd = 34;
constexpr uint32_t kRecordLen = 57;      // a brightness record: 8 + mode + 48 values
constexpr uint32_t kTaskTicks = 1000;    // manual and half-hour steps
constexpr uint32_t kSensorTicks = 200;   // automatic steps
constexpr uint32_t kSensorWait = 35;     // an answer from the sensor card
constexpr uint8_t kSensorTimeouts = 10;  // then full brightness
constexpr uint8_t kManualApplies = 5;    // after each record load
constexpr uint8_t kPanelMinimum = 15;    // in the 16-level and sensor modes
constexpr uint8_t kSensorRead = 0x61;    // read card RAM
constexpr int kRegBrightness = 64, kRegOnOff = 66, kRegSensorErrors = 85;

uint8_t bcd(uint8_t v) { return uint8_t((v >> 4) * 10 + (v & 0x0F)); }
bool isBcd(uint8_t v) { return (v >> 4) <= 9 && (v & 0x0F) <= 9; }

bool fullScale(uint8_t mode) { return mode == 16 || mode == 17; }

VyxRamPara* store() { return VyxRamPara::p_vyxrampara_config; }

// The command's stored length n + 8 from its u16 at bytes 6-7; 0 when it
// would not fit the command image (and so not the one erased sector).
uint32_t recordLength(const uint8_t* image)
{
    uint32_t total = uint32_t(le16(image + 6)) + kRecordHead;
    return total <= BS::kImage && total <= BS::kSector ? total : 0;
}

// The panel's ram 2176 already stands for brightness v: turning it back into
// v gives v. Rewriting it anyway would move a panel value (50 -> 127 -> 49)
// on every re-application.
bool panelShows(uint16_t percent, uint8_t v) { return uint32_t(percent) * 255 / 100 == v; }

} // namespace

// ---------------------------------------------------------------------------
// The PC's command image

bool fpga_manage::Dealwith_mcu_ram()
{
    const uint8_t* cmd = MCU_RAM_CMD;
    if (cmd[0] != kCommandPresent)
        return true;
    Lock lock(bri.mutex);
    const uint8_t command = cmd[1], storeKind = cmd[2];
    if (command != kCmdClock && command != kCmdOnOff && command != kCmdBrightness)
        return true;
    const uint32_t total = recordLength(cmd);
    if (command != kCmdClock && storeKind == kStore && total == 0) {
        std::printf("brightness command %u: %u data bytes do not fit the %u-byte command image: refused\n",
                    unsigned(command), unsigned(le16(cmd + 6)), unsigned(BS::kImage));
        return true;
    }
    // The PC is told when its table did not reach the flash: erased, then
    // written and read back equal.
    bool stored = true;
    auto erase = [&](uint32_t sector) {
        stored = stored && p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFlashSel0, sector, 0, 1) == 1;
    };
    auto write = [&](uint32_t sector, uint32_t addr) {
        erase(sector);
        std::vector<uint8_t> back(total);
        stored = stored && p_fpga_drv->flash_write_copy(kFlashSel0, addr, cmd, total) == 1 &&
                 p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSel0, addr, total, back.data()) == 1 &&
                 std::memcmp(back.data(), cmd, total) == 0;
    };
    switch (command) {
    case kCmdClock:
        Checktime();
        break;
    case kCmdOnOff:
        OnOff_time();
        if (storeKind == kStore) {
            write(BS::kOnOffSector, BS::kOnOffAddr);
            write_to_register(kRegOnOff, 0xFF, 1, 0);
        } else if (storeKind == kErase) {
            erase(BS::kOnOffSector);
            write_to_register(kRegOnOff, 0xFF, 0, 0);
        }
        break;
    case kCmdBrightness: {
        const uint8_t m = cmd[8] & uint8_t(~0x10);
        if (m != 0) {
            if (storeKind == kStore || storeKind == kErase) {
                if (storeKind == kStore)
                    write(BS::kBrightSector, BS::kBrightAddr);
                else
                    erase(BS::kBrightSector);
                bri.record_changed = 1;
            }
            bri.sensor_timeouts = 0;
        } else {
            write_to_register(kRegBrightness, 0xFF, cmd[9], 0);
            bri.value = cmd[9];
            Brightness_hand_dealwith(nullptr);
            if (storeKind == kStore) {
                write(BS::kBrightSector, BS::kBrightAddr);
                bri.record_changed = 1;
            }
        }
        break;
    }
    }
    if (!stored)
        std::printf("brightness command %u: FPGA 0's flash did not take it\n", unsigned(command));
    return stored;
}

void fpga_manage::Checktime()
{
    const uint8_t* d = MCU_RAM_CMD + kRecordHead;
    for (int i = 0; i < 7; ++i) {
        if (!isBcd(d[i])) {
            std::printf("set clock: byte %d (%#x) is not a BCD number: refused\n", kRecordHead + i, d[i]);
            return;
        }
    }
    const int year = bcd(d[0]) + 100 * bcd(d[1]);
    const int month = bcd(d[2]), day = bcd(d[3]), hour = bcd(d[4]), minute = bcd(d[5]), second = bcd(d[6]);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        std::printf("set clock: %d-%d-%d %d:%d:%d is no date: refused\n", year, month, day, hour, minute, second);
        return;
    }
    const QString date = QStringLiteral("%1-%2-%3").arg(year).arg(month).arg(day);
    const QString time = QStringLiteral("%1:%2:%3").arg(hour).arg(minute).arg(second);
    Utils::system_mutex(QStringLiteral("date \"") + date + ' ' + time + QStringLiteral("\";hwclock -wu"));
}

void fpga_manage::OnOff_time() { OnOff_time(MCU_RAM_CMD); }

void fpga_manage::OnOff_time(const uint8_t* cmd)
{
    Lock lock(bri.mutex);
    bri.entries = cmd[8] > BS::kEntries ? uint8_t(BS::kEntries) : cmd[8];
    for (int i = 0; i < bri.entries; ++i) {
        const uint8_t* e = cmd + 9 + 4 * i;
        BS::Entry& entry = bri.onoff[i];
        entry.on_hour = bcd(e[0]);
        entry.on_minute = bcd(e[1]);
        entry.off_hour = bcd(e[2]);
        entry.off_minute = bcd(e[3]);
        entry.on_pending = entry.off_pending = 1;
    }
    // Arming them is today's re-arm.
    bri.rearm_day = time_record.day;
}

// ---------------------------------------------------------------------------
// Stored records

namespace {
// Reads a stored record of FPGA 0's flash into the command image and into
// `record` (1024 bytes, zero past the record): its length, or 0 when none
// is stored or its length does not fit.
uint32_t loadRecord(fpga_drv* drv, uint32_t addr, const char* what, uint8_t* record)
{
    std::memset(record, 0, BS::kImage);
    uint8_t head[kRecordHead] = {};
    if (drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSel0, addr, kRecordHead, head) != 1 || head[0] != BS::kValid)
        return 0;
    uint32_t total = recordLength(head);
    if (total == 0) {
        std::printf("stored %s names %u data bytes, more than the command image holds: ignored\n", what,
                    unsigned(le16(head + 6)));
        return 0;
    }
    if (drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashSel0, addr, total, record) != 1)
        return 0;
    uint8_t* image = fpga_manage::MCU_RAM_CMD;
    std::memcpy(image, record, std::min(total, kControllerFirst));
    if (total > kControllerEnd)
        std::memcpy(image + kControllerEnd, record + kControllerEnd, total - kControllerEnd);
    return total;
}
} // namespace

void fpga_manage::record_onoff_time(uint8_t sel)
{
    if (shadow(80, 0) != 3 && sel != kFlashSel0)
        return;
    Lock lock(bri.mutex);
    uint8_t record[BS::kImage];
    if (loadRecord(p_fpga_drv, BS::kOnOffAddr, "on/off table", record) == 0)
        return;
    OnOff_time(record);
    write_to_register(kRegOnOff, 0xFF, 1, 0);
}

void fpga_manage::record_bright_change()
{
    if (shadow(80, 0) != 3)
        return;
    Lock lock(bri.mutex);
    uint8_t record[BS::kImage];
    // A record ends after its mode and first value at the shortest.
    if (loadRecord(p_fpga_drv, BS::kBrightAddr, "brightness record", record) >= kRecordHead + 2) {
        Brightness_init(record);
        return;
    }
    bri.task_on = 0;
    bri.value = 16;
    write_to_register(kRegBrightness, 0xFF, 16, 0);
}

void fpga_manage::Brightness_init(const uint8_t* record)
{
    Lock lock(bri.mutex);
    bri.mode = record[8];
    bri.last_slot = 255;
    bri.task_on = 0;
    switch (bri.mode) {
    case 0:
    case 16:
        write_to_register(kRegBrightness, 0xFF, record[9], 0);
        bri.value = record[9];
        bri.counter = 0;
        bri.task_on = 1;
        break;
    case 1:
    case 17:
        std::memcpy(bri.HalfHourValue, record + 9, BS::kSlots);
        bri.task_on = 1;
        break;
    case 2:
        bri.task_on = 1;
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Applying

uint8_t fpga_manage::Brightness_hand_dealwith(void*)
{
    Lock lock(bri.mutex);
    VyxRamPara* image = store();
    const bool panel = bri_set_flag.load() != 0;
    uint8_t v = shadow(kRegBrightness, 0);
    if (panel) {
        // The panel's value is taken (and kept) whether or not a port can
        // show it now.
        uint32_t percent = image ? le16(image->ram_para + ram::kBrightness) : 100;
        uint32_t full = percent * 255 / 100;
        v = uint8_t(full > 255 ? 255 : full);
        if (!fullScale(bri.mode) && v < kPanelMinimum)
            v = kPanelMinimum;
        write_to_register(kRegBrightness, 0xFF, v, 0);
    }

    const uint16_t links = uint16_t(shadow(144, 0) << 8 | shadow(128, 0));
    if (links == 0) {
        bri.link_pending = 1;
    } else {
        bri.link_pending = 0;
        MCU_RAM_PARA_func[0][256] = 1;
        if (!panel) {
            if (bri.mode != 2 && !fullScale(bri.mode))
                v = uint8_t(16 * v - 1);
            uint16_t shown = uint16_t(uint32_t(v) * 100 / 255);
            if (image && !panelShows(le16(image->ram_para + ram::kBrightness), v) &&
                le16(image->ram_para + ram::kBrightness) != shown) {
                putLe16(image->ram_para + ram::kBrightness, shown);
                image->test_signal(kChangeRefresh);
            }
        }
        write_to_register(6, 0xFF, v, 0);
        write_to_register(3, 0x04, 0x04, 0);
    }

    if (panel) {
        uint8_t record[kRecordLen];
        const uint8_t head[9] = {BS::kValid, kCmdBrightness, kStore, 0, 0, 0, 49, 0, 16};
        std::memcpy(record, head, sizeof head);
        std::memset(record + 9, v, BS::kSlots);
        p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFlashSel0, BS::kBrightSector, 0, 1);
        p_fpga_drv->flash_write_copy(kFlashSel0, BS::kBrightAddr, record, kRecordLen);
        // What is stored is now the mode in force: later re-applications
        // take register 64 as a 256-level value, as the record says.
        Brightness_init(record);
    }
    return 1;
}

uint8_t fpga_manage::set_fpga_bri_val()
{
    if (get_fpga_status() != 1)
        return 0;
    Brightness_hand_dealwith(nullptr);
    return 1;
}

// ---------------------------------------------------------------------------
// Schedule

void fpga_manage::Extension_function()
{
    if (bri.record_changed.exchange(0) != 0)
        record_bright_change();
    bool taskOn;
    {
        Lock lock(bri.mutex);
        taskOn = bri.task_on != 0;
    }
    if (taskOn)
        Brightness_task();
    {
        Lock lock(bri.mutex);
        if (bri.link_pending && (shadow(128, 0) != 0 || shadow(144, 0) != 0))
            Brightness_hand_dealwith(nullptr);
    }
    if (shadow(kRegOnOff, 0) != 1)
        return;

    Lock lock(bri.mutex);
    const TimeRealType& now = time_record;
    for (int i = 0; i < bri.entries; ++i) {
        BS::Entry& e = bri.onoff[i];
        if (e.on_pending && e.on_hour == now.hour && e.on_minute == now.minute) {
            SCREEN_fpgactrl_status(SCREEN_LIT);
            e.on_pending = 0;
        }
    }
    for (int i = 0; i < bri.entries; ++i) {
        BS::Entry& e = bri.onoff[i];
        if (e.off_pending && e.off_hour == now.hour && e.off_minute == now.minute) {
            SCREEN_fpgactrl_status(SCREEN_BLANK);
            e.off_pending = 0;
        }
    }
    if (now.day != bri.rearm_day) {
        for (int i = 0; i < bri.entries; ++i)
            bri.onoff[i].on_pending = bri.onoff[i].off_pending = 1;
        bri.rearm_day = now.day;
    }
}

void fpga_manage::Brightness_task()
{
    uint8_t mode;
    {
        Lock lock(bri.mutex);
        mode = bri.mode;
        if (mode == 2) {
            // A sensor read that is out is followed every turn until it ends.
            if (!bri.sensor_waiting) {
                if (Utils::getTimeSpace(bri.task_stamp) < kSensorTicks)
                    return;
                bri.task_stamp = G_timeTicks.load();
            }
        } else {
            if (Utils::getTimeSpace(bri.task_stamp) < kTaskTicks)
                return;
            bri.task_stamp = G_timeTicks.load();
        }
    }
    switch (mode) {
    case 2:
        Brightness_auto_change();
        break;
    case 1:
    case 17:
        Brightness_time_change();
        break;
    case 0:
    case 16:
        Brightness_hand_change();
        break;
    default:
        break;
    }
}

void fpga_manage::Brightness_hand_change()
{
    Lock lock(bri.mutex);
    if (bri.counter < kManualApplies) {
        Brightness_hand_dealwith(nullptr);
        ++bri.counter;
    }
}

void fpga_manage::Brightness_time_change()
{
    Lock lock(bri.mutex);
    int minutes = time_record.hour * 60 + time_record.minute;
    int slot = minutes / 30;
    if (slot >= BS::kSlots)
        slot = BS::kSlots - 1;
    if (slot != bri.last_slot) {
        write_to_register(kRegBrightness, 0xFF, bri.HalfHourValue[slot], 0);
        bri.value = bri.HalfHourValue[slot];
        Brightness_hand_dealwith(nullptr);
        bri.last_slot = uint8_t(slot);
        bri.counter = 0;
        Brightness_hand_dealwith(nullptr);
        bri.counter = 1;
    } else if (bri.counter <= 1) {
        Brightness_hand_dealwith(nullptr);
        ++bri.counter;
    }
}

// The light sensor of a multi-function card, read with a card RAM read on
// the first output slot that has a card. The read goes out on one worker
// turn and its answer is awaited on the following ones, so the worker never
// blocks on it.
void fpga_manage::Brightness_auto_change()
{
    bool waiting, send = false;
    uint8_t slot = 0;
    {
        Lock lock(bri.mutex);
        waiting = bri.sensor_waiting != 0;
        if (!waiting) {
            bri.sensor_addr = 0;
            bri.sensor_group = 0;
            for (int s = 0; s < fpga_layout::kSlots; ++s) {
                if (MCU_RAM_PARA_func[0][fpga_layout::kCardStatus[s]] != 0) {
                    bri.sensor_slot = uint8_t(s);
                    bri.sensor_group = uint8_t(s / 4 + 1);
                    bri.sensor_addr = 0x4000u + 0x1000u * uint32_t(s % 4);
                    break;
                }
            }
            if (bri.sensor_addr != 0) {
                send = true;
                slot = bri.sensor_slot;
                bri.sensor_waiting = 1;
                bri.sensor_stamp = G_timeTicks.load();
            }
        }
    }
    // The card link (its receive mutex) is used outside the schedule's
    // lock, so that lock is never held while the receive mutex is awaited.
    if (send) {
        sensor_read_send(slot);
        return;
    }
    RCV_CTRL_ANSWER answer;
    bool answered = false;
    if (waiting) {
        for (uint8_t f = 0; f < kFpgas; ++f) {
            pthread_mutex_lock(&rcv_mutex);
            reg_IRQ_Dealwith(f, 0);
            pthread_mutex_unlock(&rcv_mutex);
        }
        answered = take_controller_answer(&answer);
    }

    Lock lock(bri.mutex);
    if (bri.sensor_waiting) {
        if (answered) {
            if (answer.command == kSensorRead && answer.length > sizeof bri.sensor_data && answer.data[0] == 0) {
                std::memcpy(bri.sensor_data, answer.data + 1, sizeof bri.sensor_data);
                bri.sensor_new = 1;
            } else {
                write_to_register(kRegSensorErrors, 0xFF, uint8_t(shadow(kRegSensorErrors, 0) + 1), 0);
            }
        } else if (Utils::getTimeSpace(bri.sensor_stamp) >= kSensorWait) {
            ++bri.sensor_timeouts;
        } else {
            return;
        }
        bri.sensor_waiting = 0;
    }

    if (bri.sensor_new) {
        if (bri.sensor_data[49] == 0xFF) {
            uint8_t target = bri.sensor_data[53];
            if (bri.value < target)
                ++bri.value;
            else if (bri.value > target)
                --bri.value;
            write_to_register(kRegBrightness, 0xFF, bri.value, 0);
        }
        bri.sensor_new = 0;
    }
    if (bri.sensor_timeouts >= kSensorTimeouts) {
        bri.value = 255;
        write_to_register(kRegBrightness, 0xFF, 255, 0);
        bri.sensor_timeouts = 0;
    }
    Brightness_hand_dealwith(nullptr);
}

// ---------------------------------------------------------------------------
// Clock

int fpga_manage::IT8563WE_Get(TimeRealType* t)
{
    QDateTime now;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        now = platform::currentDateTime();
    }
    if (!t || !now.isValid())
        return 0;
    const QDate date = now.date();
    const QTime time = now.time();
    t->year = uint16_t(date.year());
    t->month = uint8_t(date.month());
    t->day = uint8_t(date.day());
    t->hour = uint8_t(time.hour());
    t->minute = uint8_t(time.minute());
    t->second = uint8_t(time.second());
    return 0;
}
