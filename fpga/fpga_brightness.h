#pragma once
// State of FPGA 0's LED brightness and of the daily on/off schedule, kept
// by the FPGA manager (fpga_brightness.cpp). The PC's command handler runs
// in a PC link's thread and the schedule in the worker; both hold `mutex`.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

struct BrightnessSchedule {
    // Brightness records and on/off tables in FPGA 0's configuration flash.
    static constexpr uint32_t kOnOffAddr = 0x30E000;   // sector 782
    static constexpr uint32_t kBrightAddr = 0x30F000;  // sector 783
    static constexpr uint32_t kOnOffSector = 0x30E000 / 4096;
    static constexpr uint32_t kBrightSector = 0x30F000 / 4096;
    static constexpr uint32_t kImage = 1024;           // the command image
    static constexpr uint32_t kSector = 4096;
    static constexpr uint8_t kValid = 0xAA;
    static constexpr int kSlots = 48;                  // half hours of a day
    static constexpr int kEntries = 4;                 // on/off times

    BrightnessSchedule() { std::memset(HalfHourValue, 15, sizeof HalfHourValue); }

    std::recursive_mutex mutex;

    // Brightness modes: 0 manual (16 levels), 16 manual (256 levels), 1 and
    // 17 half-hour table (16 and 256 levels), 2 light sensor.
    uint8_t mode = 0;
    uint8_t value = 0;          // current brightness
    uint8_t last_slot = 255;    // half-hour slot applied last; 255 none
    uint8_t counter = 0;        // re-applications since the slot or the record changed
    uint8_t task_on = 0;
    std::atomic<uint8_t> record_changed{0};
    uint32_t task_stamp = 0;
    // Nothing could be applied (no port had a link): apply once one has.
    uint8_t link_pending = 0;
    uint8_t HalfHourValue[kSlots];

    // Light sensor on a multi-function card.
    uint32_t sensor_addr = 0;   // card address 0x4000-0x7000; 0 none
    uint8_t sensor_group = 0;   // port group 1-4
    uint8_t sensor_slot = 0;
    uint8_t sensor_timeouts = 0;
    uint8_t sensor_waiting = 0; // a read is out, since sensor_stamp
    uint32_t sensor_stamp = 0;
    uint8_t sensor_new = 0;     // sensor_data holds an answer not yet used
    uint8_t sensor_data[128] = {};

    // On/off times, decimal.
    struct Entry {
        uint8_t on_hour = 0, on_minute = 0, off_hour = 0, off_minute = 0;
        uint8_t on_pending = 0, off_pending = 0;
    };
    uint8_t entries = 0;
    Entry onoff[kEntries];
    uint8_t rearm_day = 0;      // day of month the entries were armed last
};
