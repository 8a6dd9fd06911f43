// Device back-end of the keypad: hidapi over hidraw.
#include "platform/hid.h"

#include <hidapi/hidapi.h>

namespace platform {

namespace {
class LinuxHid : public Hid {
public:
    int init() override { return hid_init(); }
    std::vector<std::pair<uint16_t, uint16_t>> enumerate() override
    {
        std::vector<std::pair<uint16_t, uint16_t>> ids;
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d; d = d->next)
            ids.emplace_back(d->vendor_id, d->product_id);
        hid_free_enumeration(list);
        return ids;
    }
    void* open(uint16_t vendor, uint16_t product) override { return hid_open(vendor, product, nullptr); }
    int write(void* handle, const unsigned char* data, size_t length) override
    {
        return hid_write(static_cast<hid_device*>(handle), data, length);
    }
    void close(void* handle) override { hid_close(static_cast<hid_device*>(handle)); }
};
} // namespace

Hid& linuxHid()
{
    static LinuxHid instance;
    return instance;
}

} // namespace platform
