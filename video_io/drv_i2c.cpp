#include "video_io/drv_i2c.h"
#include "platform/i2c.h"
#include "platform/i2c_devices.h"

#include <QMutexLocker>
#include <vector>

namespace {
constexpr int kUnknown = -2;
}

Drv_I2C0::Drv_I2C0()
    : m_mutex(QMutex::Recursive)
    , m_selected(kUnknown)
{
}

int Drv_I2C0::set_mux(uint8_t mux, uint8_t control)
{
    QMutexLocker lock(&m_mutex);
    m_selected = kUnknown;
    platform::I2cMsg msg{mux, false, &control, 1};
    return platform::i2c().transfer(&msg, 1) == 0 ? 0 : 255;
}

int Drv_I2C0::select(int segment)
{
    if (segment == vbus::kSegMain || segment == m_selected)
        return 0;
    uint8_t c14 = 0, c20 = 0;
    if (segment >= 0 && segment < 3)
        c14 = uint8_t(1 << segment);
    else if (segment == 3)
        c20 = 1;
    else if (segment == vbus::kSegSdi)
        c20 = 2;
    else
        return 255;
    // Both are written so that no second EDID memory or receiver answers
    // at the same address; only the one in the path has to answer (an
    // absent multiplexer has no channel on).
    bool via14 = c14 != 0;
    int rc14 = set_mux(vbus::kMux14, c14);
    int rc20 = set_mux(vbus::kMux20, c20);
    if ((via14 ? rc14 : rc20) != 0)
        return 255;
    m_selected = segment;
    return 0;
}

int Drv_I2C0::run(int segment, void* msgs, int count)
{
    QMutexLocker lock(&m_mutex);
    if (select(segment) != 0)
        return 255;
    if (platform::i2c().transfer(static_cast<platform::I2cMsg*>(msgs), count) != 0) {
        // A multiplexer may have been reset with the device: select afresh.
        m_selected = kUnknown;
        return 255;
    }
    return 0;
}

int Drv_I2C0::write(int segment, uint8_t addr, const uint8_t* data, int length)
{
    platform::I2cMsg msg{addr, false, const_cast<uint8_t*>(data), uint16_t(length)};
    return run(segment, &msg, 1);
}

int Drv_I2C0::read(int segment, uint8_t addr, uint8_t* data, int length)
{
    platform::I2cMsg msg{addr, true, data, uint16_t(length)};
    return run(segment, &msg, 1);
}

int Drv_I2C0::write_reg(int segment, uint8_t addr, uint8_t reg, uint8_t value)
{
    return write_regs(segment, addr, reg, &value, 1);
}

int Drv_I2C0::write_regs(int segment, uint8_t addr, uint8_t reg, const uint8_t* data, int length)
{
    std::vector<uint8_t> buf(size_t(length) + 1);
    buf[0] = reg;
    for (int i = 0; i < length; ++i)
        buf[size_t(i) + 1] = data[i];
    return write(segment, addr, buf.data(), int(buf.size()));
}

int Drv_I2C0::read_reg(int segment, uint8_t addr, uint8_t reg, uint8_t* value)
{
    return read_regs(segment, addr, reg, value, 1);
}

int Drv_I2C0::read_regs(int segment, uint8_t addr, uint8_t reg, uint8_t* data, int length)
{
    platform::I2cMsg msgs[2] = {{addr, false, &reg, 1}, {addr, true, data, uint16_t(length)}};
    return run(segment, msgs, 2);
}

int Drv_I2C0::probe(int segment, uint8_t addr)
{
    uint8_t b = 0;
    return read(segment, addr, &b, 1);
}
