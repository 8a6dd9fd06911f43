#pragma once
// The I2C bus of the video chips ("/dev/i2c-0"). On the device every
// transaction is one ioctl(I2C_RDWR); on a host a bus model stands in for
// the chips and records every transaction.

#include <cstdint>
#include <mutex>
#include <vector>

#include "video_io/video_timing.h"

namespace platform {

// One message of a combined transaction. Addresses are 8-bit bus
// addresses in write form (0xA0 for the EDID memory), as the chips'
// data sheets give them.
struct I2cMsg {
    uint8_t addr;
    bool read;
    uint8_t* buf;
    uint16_t len;
};

class I2c {
public:
    virtual ~I2c() = default;
    // Runs the messages as one transaction (repeated start between them).
    // 0 on success, -1 when a device did not answer or the bus failed.
    virtual int transfer(I2cMsg* msgs, int count) = 0;
};

I2c& i2c();

// The simulated bus: multiplexers, EDID memories, receivers, expander,
// clock synthesizer and link chips as listed in i2c_devices.h.
class SimI2c : public I2c {
public:
    struct Record {
        uint8_t addr;
        bool read;
        bool ok;
        uint8_t mux[2];             // control bytes of 0xE0 and 0xEE at the time
        std::vector<uint8_t> data;  // bytes written, or bytes read
    };
    enum Device {
        Mux14, Mux20, Expander, ClockSynth, Link0, Link1, HdmiTx,
        Eeprom0, Eeprom1, Eeprom2, Eeprom3,
        Rx0, Rx1, Rx2, Rx3,
        SdiTx,
        DeviceCount
    };

    int transfer(I2cMsg* msgs, int count) override;

    // The most recent transactions' messages (older ones are dropped after
    // a few thousand) and the count of all messages so far.
    std::vector<Record> records() const;
    uint64_t messageCount() const;
    void clearRecords();
    // How many records are kept (0: none, only the count); reset() brings
    // back the default of a few thousand.
    void setRecordLimit(size_t limit);

    // Every device present and at its power-on state; memories reloaded
    // from the root on first use.
    void reset();
    void setPresent(Device d, bool present);

    // EDID memory of input 0..3 (256 bytes). It is kept in
    // "<root>/sim/edid<i>.bin" so a person can look at what was written.
    std::vector<uint8_t> eeprom(int input) const;
    void setEeprom(int input, const std::vector<uint8_t>& bytes);
    // Output register of the GPIO expander.
    uint8_t expanderOutput() const;
    void setExpanderOutput(uint8_t value);
    // Hot-plug line and output enables of the receiver of input 0..3.
    bool hpd(int input) const;
    bool videoOut(int input) const;
    bool audioOut(int input) const;
    uint8_t vboLanes() const;
    uint8_t muxControl(int mux) const;
    // What the receiver of input 0..3 drives towards the scaler: true, with
    // the source's timing and (input 3) the V-by-One lanes it set, while it
    // detects the source's sync and its video output is on.
    bool feed(int input, VideoTiming* timing, uint8_t* lanes);
    // Makes the next n messages to this address fail.
    void failNext(uint8_t addr, int n);

    SimI2c();
    ~SimI2c() override;

private:
    struct Model;
    mutable std::mutex m_mutex;
    Model* m_model;
};

SimI2c& simI2c();

} // namespace platform
