#pragma once
// Register helpers shared by the input side of the scaler: the measurement
// latch and the per-port register addresses. Codes are 0xBBAANN; "+ n" steps
// move the address, a bank offset of 16 per channel moves the bank.

#include <cstdint>

#include "scaler/c331_drv.h"

namespace c331ports {

// Bank 0 address 0x29: bit 7 latches the chip's counters for reading.
constexpr uint32_t kLatch = 0x002901;
inline void latch(c331_drv& drv, int fd) { drv.write_C331(fd, kLatch, 0x80, 0); }
inline void unlatch(c331_drv& drv, int fd) { drv.write_C331(fd, kLatch, 0, 0); }

// Raw counters of one input port, as latched.
struct Measure {
    uint32_t htt = 0, vtt = 0, fhw = 0, fvm = 0, hw = 0;
};

// Counter addresses: parallel port p (0..3), V-by-One receiver q (ports 4, 5).
inline uint32_t httReg(int p) { return p < 4 ? 0xAE0802 + 0x200u * unsigned(p) : 0xAE1002 + 0x800u * unsigned(p - 4); }
inline uint32_t vttReg(int p) { return p < 4 ? 0xAE2002 + 0x200u * unsigned(p) : 0xAE2802 + 0x800u * unsigned(p - 4); }
inline uint32_t fhwReg(int p) { return p < 4 ? 0xAE3802 + 0x200u * unsigned(p) : 0xAE4002 + 0x800u * unsigned(p - 4); }
inline uint32_t fvmReg(int p) { return p < 4 ? 0xAE5003 + 0x300u * unsigned(p) : 0xAE5C03 + 0xC00u * unsigned(p - 4); }
inline uint32_t hwReg(int p) { return p < 4 ? 0xAF0802 + 0x200u * unsigned(p) : 0xAF1002 + 0x800u * unsigned(p - 4); }

// Reads the five counters of port p between a latch and its release.
inline Measure measure(c331_drv& drv, int fd, int p)
{
    Measure m;
    latch(drv, fd);
    m.htt = drv.read_C331(fd, httReg(p), 0);
    m.vtt = drv.read_C331(fd, vttReg(p), 0);
    m.fhw = drv.read_C331(fd, fhwReg(p), 0);
    m.fvm = drv.read_C331(fd, fvmReg(p), 0);
    m.hw = drv.read_C331(fd, hwReg(p), 0);
    unlatch(drv, fd);
    return m;
}

// A 16-bit line counter that stopped (0) or ran over (0xFFFE up).
inline bool lineBad(uint32_t raw) { return raw == 0 || raw >= 0xFFFE; }
// A 24-bit frame counter likewise.
inline bool frameBad(uint32_t raw) { return raw == 0 || raw >= 0xFFFFFE; }

// V-by-One receiver q: lane set-up registers.
constexpr uint32_t kVboSelect = 0x027F01;          // 14 receiver 0, 13 receiver 1, then 15
inline uint32_t vboMode(int q) { return 0x024001 + 0x1C00u * unsigned(q); }
inline uint32_t vboLanes(int q) { return 0x024F01 + 0x1C00u * unsigned(q); }
inline uint32_t vboRange(int q) { return 0x024C01 + 0x1C00u * unsigned(q); }
constexpr uint32_t kVboLock = 0xB26301;            // bit 5 + 2q: receiver q locked
// Lane mask of a lane count.
inline uint32_t laneMask(int lanes) { return lanes == 8 ? 0xFF : lanes == 4 ? 0xF0 : lanes == 2 ? 0xC0 : 0x80; }

// Output channel k's background: colour (24 bits) and shown instead of the picture.
constexpr uint32_t kBkgColour = 0x084903;
constexpr uint32_t kBkgOn = 0x084801;
constexpr uint32_t kGreen = 0x00FF00;

// Input channel c's port select (bank offset 0).
inline uint32_t selectReg(int c) { return 0x001001 + 0x100u * unsigned(c); }

} // namespace c331ports
