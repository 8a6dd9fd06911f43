#pragma once
// State of a USB firmware upgrade, kept by the FPGA manager
// (fpga_upgrade.cpp). Only the worker runs an upgrade; the screen reads the
// time text and whether it failed once change code 104 has come.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct UsbUpgrade {
    QStringList packages;       // listed by the last listing, in order
    int found = 0;              // their number
    // What the pass over the packages wrote.
    uint8_t app_written = 0;
    uint8_t fpga_written[2] = {};
    uint8_t font_written = 0;
    // The transfer buffer, held only while packages are applied.
    std::vector<uint8_t> buffer;

    mutable std::mutex text_mutex;
    QString time_text;          // start, four blanks, end: "h:m:s    h:m:s"
    QStringList report;         // children passed over or not written, and why
    // A package or child could not be read, or not written whole: the
    // upgrade ends as a failure, whatever else it wrote.
    bool failed = false;
};
