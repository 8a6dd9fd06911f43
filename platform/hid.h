#pragma once
// USB HID access for the front keypad.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

class Hid {
public:
    virtual ~Hid() = default;
    virtual int init() = 0; // 0 on success
    // Vendor and product id of every HID device.
    virtual std::vector<std::pair<uint16_t, uint16_t>> enumerate() = 0;
    virtual void* open(uint16_t vendor, uint16_t product) = 0; // null when absent
    virtual int write(void* handle, const unsigned char* data, size_t length) = 0; // <0 on error
    virtual void close(void* handle) = 0;
};

Hid& hid();

// The simulated keypad: absent unless a test or the sim root declares it.
class SimHid : public Hid {
public:
    void setPresent(bool present);
    bool present() const;
    std::vector<std::vector<unsigned char>> reports() const;
    void reset();

    int init() override;
    std::vector<std::pair<uint16_t, uint16_t>> enumerate() override;
    void* open(uint16_t vendor, uint16_t product) override;
    int write(void* handle, const unsigned char* data, size_t length) override;
    void close(void* handle) override;

private:
    mutable std::mutex m_mutex;
    bool m_present = false;
    std::vector<std::vector<unsigned char>> m_reports;
};

SimHid& simHid();

constexpr uint16_t kKeypadVendor = 0x28E9;
constexpr uint16_t kKeypadProduct = 0x0380;

} // namespace platform
