#pragma once
// Access to the video I2C bus through the device layer. Devices that come
// once per input sit behind the multiplexers; every call names the segment
// it needs (vbus::kSegMain, an input 0..3 or vbus::kSegSdi) and the
// multiplexers are switched as needed. Results: 0 success, 255 failure.

#include <QMutex>
#include <cstdint>

class Drv_I2C0 {
public:
    Drv_I2C0();

    int write(int segment, uint8_t addr, const uint8_t* data, int length);
    int read(int segment, uint8_t addr, uint8_t* data, int length);
    // Register access: the register number first, then the data; a read
    // sets the register number and reads with a repeated start.
    int write_reg(int segment, uint8_t addr, uint8_t reg, uint8_t value);
    int write_regs(int segment, uint8_t addr, uint8_t reg, const uint8_t* data, int length);
    int read_reg(int segment, uint8_t addr, uint8_t reg, uint8_t* value);
    int read_regs(int segment, uint8_t addr, uint8_t reg, uint8_t* data, int length);
    // 0 when the device answers a one-byte read.
    int probe(int segment, uint8_t addr);
    // Sets a multiplexer's control byte directly (0 when it answered).
    int set_mux(uint8_t mux, uint8_t control);

private:
    int select(int segment);
    int run(int segment, void* msgs, int count);

    QMutex m_mutex;     // a multiplexer selection and its transfer go together
    int m_selected;     // segment the multiplexers are set for; -2 unknown
};
