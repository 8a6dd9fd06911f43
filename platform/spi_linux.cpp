// Device back-end of the SPI bus (spidev) and of the SoC register window
// ("/dev/msys" hands out the window, "/dev/mem" maps it).
#include "platform/spi.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {
class LinuxSpi : public Spi {
public:
    int open(const std::string& devPath) override { return ::open(sysPath(devPath).c_str(), O_RDWR); }
    void close(int fd) override
    {
        if (fd >= 0)
            ::close(fd);
    }
    int setMode(int fd, uint8_t mode) override { return ioctl(fd, SPI_IOC_WR_MODE, &mode) < 0 ? -1 : 0; }
    int getMode(int fd, uint8_t* mode) override { return ioctl(fd, SPI_IOC_RD_MODE, mode) < 0 ? -1 : 0; }
    int setBitsPerWord(int fd, uint8_t bits) override
    {
        return ioctl(fd, SPI_IOC_WR_BITS_PER_WORD, &bits) < 0 ? -1 : 0;
    }
    int getBitsPerWord(int fd, uint8_t* bits) override
    {
        return ioctl(fd, SPI_IOC_RD_BITS_PER_WORD, bits) < 0 ? -1 : 0;
    }
    int setMaxSpeed(int fd, uint32_t hz) override { return ioctl(fd, SPI_IOC_WR_MAX_SPEED_HZ, &hz) < 0 ? -1 : 0; }
    int getMaxSpeed(int fd, uint32_t* hz) override { return ioctl(fd, SPI_IOC_RD_MAX_SPEED_HZ, hz) < 0 ? -1 : 0; }
    int transfer(int fd, const uint8_t* tx, uint8_t* rx, uint32_t len, uint32_t speedHz) override
    {
        spi_ioc_transfer t;
        std::memset(&t, 0, sizeof t);
        // The kernel takes buffer addresses as 64-bit numbers on every
        // architecture; go through uintptr_t so a 32-bit pointer widens.
        t.tx_buf = uint64_t(uintptr_t(tx));
        t.rx_buf = uint64_t(uintptr_t(rx));
        t.len = len;
        t.speed_hz = speedHz;
        t.delay_usecs = 0;
        t.bits_per_word = 8;
        t.cs_change = 0;
        return ioctl(fd, SPI_IOC_MESSAGE(1), &t);
    }
};

// The system driver's window request: magic, physical base (returned),
// reserved, length (returned), size of this record.
struct MsysRequest {
    uint32_t magic;
    uint32_t base;
    uint32_t reserved;
    uint32_t length;
    uint32_t size;
};
static_assert(sizeof(MsysRequest) == 20, "the driver expects a 20-byte record");
constexpr unsigned long kMsysRequestWindow = 0x5315;

class LinuxSocWindow : public SocWindow {
public:
    MapResult map() override
    {
        if (m_base)
            return Mapped;
        int msys = ::open(sysPath("/dev/msys").c_str(), O_RDWR | O_SYNC);
        if (msys < 0)
            return NoMsys;
        int mem = ::open(sysPath("/dev/mem").c_str(), O_RDWR | O_SYNC);
        if (mem < 0) {
            ::close(msys);
            return NoMem;
        }
        MsysRequest req{0x4D530100u, 0, 0, 0, uint32_t(sizeof(MsysRequest))};
        MapResult result = Mapped;
        if (ioctl(msys, kMsysRequestWindow, &req) != 0 || req.length == 0) {
            result = RequestRefused;
        } else {
            void* p = mmap(nullptr, req.length, PROT_READ | PROT_WRITE, MAP_SHARED, mem, off_t(req.base));
            if (p == MAP_FAILED) {
                result = MapFailed;
            } else {
                m_length = req.length;
                m_base = static_cast<volatile uint8_t*>(p);
            }
        }
        ::close(mem);
        ::close(msys);
        return result;
    }
    bool mapped() const override { return m_base != nullptr; }
    uint32_t length() const override { return m_length; }
    void write16(uint32_t offset, uint16_t value) override
    {
        if (volatile uint8_t* p = at(offset, 2))
            *reinterpret_cast<volatile uint16_t*>(p) = value;
    }
    uint16_t read16(uint32_t offset) override
    {
        volatile uint8_t* p = at(offset, 2);
        return p ? *reinterpret_cast<volatile uint16_t*>(p) : 0;
    }
    void write32(uint32_t offset, uint32_t value) override
    {
        if (volatile uint8_t* p = at(offset, 4))
            *reinterpret_cast<volatile uint32_t*>(p) = value;
    }
    uint32_t read32(uint32_t offset) override
    {
        volatile uint8_t* p = at(offset, 4);
        return p ? *reinterpret_cast<volatile uint32_t*>(p) : 0;
    }

private:
    volatile uint8_t* at(uint32_t offset, uint32_t width)
    {
        if (m_base && offset % width == 0 && offset + width <= m_length)
            return m_base + offset;
        if (!m_reported.exchange(true))
            std::fprintf(stderr, "SoC window not mapped (or pad 0x%X outside it): pad access skipped\n",
                         unsigned(offset));
        return nullptr;
    }

    volatile uint8_t* m_base = nullptr;
    uint32_t m_length = 0;
    std::atomic<bool> m_reported{false};
};
} // namespace

Spi& linuxSpi()
{
    static LinuxSpi instance;
    return instance;
}

SocWindow& linuxSocWindow()
{
    static LinuxSocWindow instance;
    return instance;
}

} // namespace platform
