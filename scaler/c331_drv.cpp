#include "scaler/c331_drv.h"

#include <QMutexLocker>
#include <cstdio>
#include <cstring>

#include "core/utils.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"

namespace {
constexpr uint8_t kWriteBit = 0x80;
constexpr uint8_t kAddrMask = 0x7F;

unsigned int codeBank(unsigned int code) { return (code >> 16) & 0xFF; }
unsigned int codeAddr(unsigned int code) { return (code >> 8) & 0xFF; }
unsigned int codeCount(unsigned int code) { return code & 0xFF; }
} // namespace

c331_drv::c331_drv() { writeLogMsg(LOG_INFO, "c331_drv::c331_drv()"); }

int c331_drv::initialize()
{
    platform::Spi& bus = platform::spi();
    int fd = bus.open(kC331SpiDevice);
    uint8_t mode = 3;
    if (bus.setMode(fd, mode) < 0 && bus.getMode(fd, &mode) < 0)
        bus.setBitsPerWord(fd, 8);
    uint32_t speed = kWriteHz;
    bus.setMaxSpeed(fd, speed);
    bus.getMaxSpeed(fd, &speed);
    return fd;
}

void c331_drv::init_reg_acc_param()
{
    QMutexLocker lock(&Utils::_c331_bnk_mutex);
    m_bank = kNoBank;
}

void c331_drv::routeBusToScaler()
{
    // The selects live in the SoC window the FPGA manager maps; while it is
    // not mapped there is nothing to route (and nothing to write through).
    platform::SocWindow& window = platform::socWindow();
    if (!window.mapped())
        return;
    for (uint32_t pad : fpga_pads::kSelect)
        window.write16(pad, fpga_pads::kPadHigh);
}

int c331_drv::SPI_Transfer(int fd, uint8_t* tx, uint8_t* rx, int len)
{
    int rc;
    {
        QMutexLocker lock(&Utils::_spi_mutex);
        routeBusToScaler();
        rc = platform::spi().transfer(fd, tx, rx, uint32_t(len), kReadHz);
    }
    if (rc <= 0)
        std::perror("can't send spi message");
    return rc;
}

int c331_drv::SPI_Transfer_Write(int fd, uint8_t* tx, int len)
{
    int rc;
    {
        QMutexLocker lock(&Utils::_spi_mutex);
        routeBusToScaler();
        rc = platform::spi().transfer(fd, tx, nullptr, uint32_t(len), kWriteHz);
    }
    if (rc <= 0)
        std::perror("can't send spi message");
    return rc;
}

void c331_drv::selectBank(int fd, int bank)
{
    if (bank == m_bank)
        return;
    m_bank = bank;
    uint8_t tx[2] = {kWriteBit, uint8_t(bank)};
    SPI_Transfer_Write(fd, tx, 2);
}

void c331_drv::write_C331(int fd, unsigned int code, unsigned int value, int bankOffset)
{
    QMutexLocker lock(&Utils::_c331_bnk_mutex);
    selectBank(fd, int(codeBank(code)) + bankOffset);
    unsigned int addr = codeAddr(code);
    unsigned int count = codeCount(code);
    for (unsigned int i = 0; i < count; ++i) {
        // Bytes beyond the fourth have no value bits left.
        uint8_t data = i < 4 ? uint8_t(value >> (8 * i)) : 0;
        uint8_t tx[2] = {uint8_t(kWriteBit | ((addr + i) & kAddrMask)), data};
        SPI_Transfer_Write(fd, tx, 2);
    }
}

unsigned int c331_drv::read_C331(int fd, unsigned int code, int bankOffset)
{
    QMutexLocker lock(&Utils::_c331_bnk_mutex);
    selectBank(fd, int(codeBank(code)) + bankOffset);
    unsigned int addr = codeAddr(code);
    unsigned int count = codeCount(code);
    unsigned int value = 0;
    for (unsigned int i = 0; i < count; ++i) {
        uint8_t tx[2] = {uint8_t((addr + i) & kAddrMask), 0xFF};
        // A transfer that fails leaves a defined 0, never stale bytes.
        uint8_t rx[2] = {0, 0};
        if (SPI_Transfer(fd, tx, rx, 2) <= 0)
            rx[1] = 0;
        if (i < 4)
            value |= unsigned(rx[1]) << (8 * i);
    }
    return value;
}

void c331_drv::write_c331_mask(int fd, unsigned int code, unsigned int value, unsigned int mask, int bankOffset)
{
    unsigned int old = read_C331(fd, code, bankOffset);
    write_C331(fd, code, old ^ ((value ^ old) & mask), bankOffset);
}
