// Device back-end of the raw flash: the MTD ioctls.
#include "platform/mtd.h"

#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {
class LinuxMtd : public Mtd {
public:
    int getInfo(int fd, MtdInfo* info) override
    {
        mtd_info_user mi{};
        if (::ioctl(fd, MEMGETINFO, &mi) != 0)
            return -1;
        info->size = mi.size;
        info->erasesize = mi.erasesize;
        info->writesize = mi.writesize;
        return 0;
    }
    int unlock(int fd, uint32_t start, uint32_t length) override
    {
        erase_info_user ei{start, length};
        return ::ioctl(fd, MEMUNLOCK, &ei) == 0 ? 0 : -1;
    }
    int erase(int fd, uint32_t start, uint32_t length) override
    {
        erase_info_user ei{start, length};
        return ::ioctl(fd, MEMERASE, &ei) == 0 ? 0 : -1;
    }
    ssize_t pwrite(int fd, const void* data, size_t length, off_t offset) override
    {
        return ::pwrite(fd, data, length, offset);
    }
};
} // namespace

Mtd& linuxMtd()
{
    static LinuxMtd instance;
    return instance;
}

} // namespace platform
