// Device back-end of the video I2C bus: "/dev/i2c-0" through the i2c-dev
// driver, one I2C_RDWR ioctl per transaction.
#include "platform/i2c.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {
class LinuxI2c : public I2c {
public:
    int transfer(I2cMsg* msgs, int count) override
    {
        if (count <= 0 || count > I2C_RDWR_IOCTL_MAX_MSGS)
            return -1;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fd < 0)
            m_fd = ::open(sysPath("/dev/i2c-0").c_str(), O_RDWR);
        if (m_fd < 0)
            return -1;
        std::vector<i2c_msg> k(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            k[i].addr = uint16_t(msgs[i].addr >> 1); // the kernel takes 7-bit addresses
            k[i].flags = msgs[i].read ? I2C_M_RD : 0;
            k[i].len = msgs[i].len;
            k[i].buf = msgs[i].buf;
        }
        i2c_rdwr_ioctl_data data{k.data(), static_cast<uint32_t>(count)};
        return ::ioctl(m_fd, I2C_RDWR, &data) < 0 ? -1 : 0;
    }

private:
    std::mutex m_mutex;
    int m_fd = -1;
};
} // namespace

I2c& linuxI2c()
{
    static LinuxI2c instance;
    return instance;
}

} // namespace platform
