#include "platform/hid.h"
#include "platform/platform.h"

#include <unistd.h>

namespace platform {

Hid& linuxHid();

Hid& hid()
{
    if (isDevice())
        return linuxHid();
    return simHid();
}

SimHid& simHid()
{
    static SimHid instance;
    return instance;
}

void SimHid::setPresent(bool present)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_present = present;
}

bool SimHid::present() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A person can plug the simulated keypad in by creating this file.
    return m_present || ::access(sysPath("/sim/keypad").c_str(), F_OK) == 0;
}

std::vector<std::vector<unsigned char>> SimHid::reports() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reports;
}

void SimHid::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_present = false;
    m_reports.clear();
}

int SimHid::init() { return 0; }

std::vector<std::pair<uint16_t, uint16_t>> SimHid::enumerate()
{
    std::vector<std::pair<uint16_t, uint16_t>> ids{{0x046D, 0xC52B}};
    if (present())
        ids.emplace_back(kKeypadVendor, kKeypadProduct);
    return ids;
}

void* SimHid::open(uint16_t vendor, uint16_t product)
{
    if (vendor != kKeypadVendor || product != kKeypadProduct || !present())
        return nullptr;
    return this;
}

int SimHid::write(void* handle, const unsigned char* data, size_t length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reports.emplace_back(data, data + length);
    return static_cast<int>(length);
}

void SimHid::close(void*) {}

} // namespace platform
