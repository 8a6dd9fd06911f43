// SPI links to the sending FPGAs and the flash commands of their
// configuration flashes.
#include "fpga/fpga_drv.h"

#include <QMutexLocker>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"

std::atomic<unsigned> fpga_drv::busy_limit_ms{3000};

namespace {
constexpr uint8_t kFastRead = 0x0B;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kReadUid = 0x4B;
constexpr uint8_t kEraseCommand[3] = {0x20, 0x52, 0xD8};
constexpr uint32_t kEraseUnits[3] = {1, 8, 16};
constexpr uint32_t kUnit = 4096;
// Status polls answered at once; a flash still busy after these is busy
// with an erase, so the poll slows down rather than spin on the bus.
constexpr int kFastPolls = 64;
constexpr unsigned kSlowPollUs = 100;

void putAddress(uint8_t* p, uint32_t addr)
{
    p[0] = uint8_t(addr >> 16);
    p[1] = uint8_t(addr >> 8);
    p[2] = uint8_t(addr);
}
} // namespace

fpga_drv::fpga_drv()
{
    for (int& f : fd)
        f = -1;
}

fpga_drv::~fpga_drv()
{
    for (int& f : fd) {
        if (f >= 0)
            platform::spi().close(f);
        f = -1;
    }
}

int fpga_drv::initialize_vbyne1(int index)
{
    if (index < 0 || index >= kDevices)
        return -1;
    platform::Spi& spi = platform::spi();
    std::string path = "/dev/spidev32766." + std::to_string(index + 1);
    if (fd[index] >= 0)
        spi.close(fd[index]);
    int f = spi.open(path);
    fd[index] = f;
    if (f < 0) {
        std::printf("can't open %s\n", path.c_str());
        return -1;
    }
    uint8_t mode = kMode, bits = kBits;
    uint32_t speed = kSpeedHz;
    if (spi.setMode(f, mode) < 0)
        std::printf("can't set spi mode\n");
    if (spi.getMode(f, &mode) < 0)
        VYX_DEBUG("can't get spi mode\n");
    if (spi.setBitsPerWord(f, bits) < 0)
        VYX_DEBUG("can't set bits per word\n");
    if (spi.getBitsPerWord(f, &bits) < 0)
        VYX_DEBUG("can't get bits per word\n");
    if (spi.setMaxSpeed(f, speed) < 0)
        VYX_DEBUG("can't set max speed hz\n");
    if (spi.getMaxSpeed(f, &speed) < 0)
        VYX_DEBUG("can't get max speed hz\n");
    return f;
}

bool fpga_drv::pads_ready()
{
    if (platform::socWindow().mapped())
        return true;
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true))
        std::printf("SoC window not mapped: FPGA access skipped\n");
    return false;
}

int fpga_drv::SPI_Transfer(int fd, const uint8_t* tx, uint8_t* rx, int len)
{
    int ret = len > 0 ? platform::spi().transfer(fd, tx, rx, uint32_t(len), kSpeedHz) : -1;
    if (ret <= 0)
        std::perror("can't send fpga_spi message\n");
    return ret;
}

int fpga_drv::SPI_Transfer_Write(int fd, const uint8_t* tx, int len) { return SPI_Transfer(fd, tx, nullptr, len); }

// ---------------------------------------------------------------------------
// Flash

bool fpga_drv::inFlash(uint32_t addr, uint32_t len) { return len > 0 && uint64_t(addr) + len <= kFlashSize; }

// One flash operation: the bus held and the flash selected from start to
// end (the scaler would otherwise drive the selects high in between).
class fpga_drv::FlashSession {
public:
    FlashSession(fpga_drv& drv, int sel)
        : m_lock(&Utils::_spi_mutex)
        , m_fpga(sel == kFlashSel0 ? 0 : 1)
        , fd(drv.flash_fd(m_fpga))
    {
        platform::SocWindow& pads = platform::socWindow();
        pads.write16(fpga_pads::kSelect[1 - m_fpga], fpga_pads::kPadHigh);
        pads.write16(fpga_pads::kSelect[m_fpga], fpga_pads::kPadLow);
        pads.write16(fpga_pads::kFlashSelect[m_fpga], fpga_pads::kPadLow);
    }
    ~FlashSession()
    {
        platform::SocWindow& pads = platform::socWindow();
        pads.write16(fpga_pads::kFlashSelect[m_fpga], fpga_pads::kPadHigh);
        pads.write16(fpga_pads::kSelect[0], fpga_pads::kPadHigh);
        pads.write16(fpga_pads::kSelect[1], fpga_pads::kPadHigh);
    }

private:
    QMutexLocker m_lock;
    int m_fpga;

public:
    const int fd;
};

int fpga_drv::FPGA_SPI_WAIT_BUSY(int fd)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (int polls = 0;; ++polls) {
        uint8_t tx[2] = {kReadStatus, 0xFF}, rx[2] = {0xFF, 0xFF};
        if (SPI_Transfer(fd, tx, rx, 2) <= 0)
            return 0;
        if (!(rx[1] & 0x01))
            return 1;
        if (polls >= kFastPolls) {
            auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            if (waited.count() >= long(busy_limit_ms.load())) {
                std::printf("FPGA flash stays busy: operation abandoned\n");
                return 0;
            }
            ::usleep(kSlowPollUs);
        }
    }
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_READ(int sel, uint32_t addr, uint32_t len, uint8_t* buf)
{
    if (!inFlash(addr, len) || !buf || !pads_ready())
        return 0;
    FlashSession session(*this, sel);
    int dev = session.fd;
    bool ok = true;
    if (len <= kReadChunk) {
        std::vector<uint8_t> tx(5 + len, 0xFF), rx(5 + len, 0xFF);
        tx[0] = kFastRead;
        putAddress(&tx[1], addr);
        tx[4] = 0x00;
        ok = SPI_Transfer(dev, tx.data(), rx.data(), int(tx.size())) > 0;
        std::memcpy(buf, rx.data() + 5, len);
    } else {
        // The header opens the stream; the data follows in 2048-byte pieces
        // while the flash stays selected.
        uint8_t head[5] = {kFastRead, 0, 0, 0, 0x00};
        putAddress(&head[1], addr);
        ok = SPI_Transfer_Write(dev, head, 5) > 0;
        std::vector<uint8_t> idle(kReadChunk, 0xFF);
        for (uint32_t done = 0; done < len && ok;) {
            uint32_t n = len - done < kReadChunk ? len - done : kReadChunk;
            ok = SPI_Transfer(dev, idle.data(), buf + done, int(n)) > 0;
            done += n;
        }
    }
    return ok ? 1 : 0;
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_WRITE(int sel, uint32_t addr, uint8_t* buf, uint32_t len)
{
    if (!inFlash(addr, len) || !buf || !pads_ready())
        return 0;
    FlashSession session(*this, sel);
    int dev = session.fd;
    bool ok = true;
    uint32_t first = kPage - (addr % kPage);
    for (uint32_t done = 0; done < len && ok;) {
        uint32_t n = done == 0 ? (first < len ? first : len) : (len - done < kPage ? len - done : kPage);
        uint32_t at = addr + done;
        uint8_t we = kWriteEnable;
        // The page's command goes into the four bytes in front of its data.
        uint8_t* cmd = buf + done;
        cmd[0] = kPageProgram;
        putAddress(cmd + 1, at);
        ok = SPI_Transfer_Write(dev, &we, 1) > 0 && SPI_Transfer_Write(dev, cmd, int(kWriteHead + n)) > 0 &&
             FPGA_SPI_WAIT_BUSY(dev) == 1;
        done += n;
    }
    return ok ? 1 : 0;
}

int fpga_drv::flash_write_copy(int sel, uint32_t addr, const uint8_t* data, uint32_t len)
{
    if (len == 0 || !data)
        return 0;
    std::vector<uint8_t> scratch(kWriteHead + len);
    std::memcpy(scratch.data() + kWriteHead, data, len);
    return FPGA_SPI_FLASH_VBYONE_WRITE(sel, addr, scratch.data(), len);
}

int fpga_drv::FPGA_SPI_FLASH_VBYONE_ERASE(int sel, uint32_t start, int mode, uint32_t count)
{
    if (mode < 0 || mode > 2)
        return 0;
    uint32_t units = kEraseUnits[mode];
    if (uint64_t(start) + uint64_t(count) * units > kSectorUnits)
        return 0;
    if (count == 0)
        return 1;
    if (!pads_ready())
        return 0;
    FlashSession session(*this, sel);
    int dev = session.fd;
    bool ok = FPGA_SPI_WAIT_BUSY(dev) == 1;
    for (uint32_t i = 0; i < count && ok; ++i) {
        uint8_t we = kWriteEnable;
        uint8_t cmd[4] = {kEraseCommand[mode], 0, 0, 0};
        putAddress(cmd + 1, (start + i * units) * kUnit);
        ok = SPI_Transfer_Write(dev, &we, 1) > 0 && FPGA_SPI_WAIT_BUSY(dev) == 1 &&
             SPI_Transfer_Write(dev, cmd, 4) > 0 && FPGA_SPI_WAIT_BUSY(dev) == 1;
    }
    return ok ? 1 : 0;
}

int fpga_drv::FPGA_SPI_FLASH_SSTF016B_RD_UID(int sel, uint8_t* buf)
{
    if (!buf || !pads_ready())
        return 0;
    FlashSession session(*this, sel);
    uint8_t tx[13], rx[13];
    std::memset(tx, 0xFF, sizeof tx);
    std::memset(rx, 0xFF, sizeof rx);
    tx[0] = kReadUid;
    tx[1] = tx[2] = tx[3] = 0;
    bool ok = SPI_Transfer(session.fd, tx, rx, int(sizeof tx)) > 0;
    std::memcpy(buf, rx + 5, 8);
    return ok ? 1 : 0;
}
