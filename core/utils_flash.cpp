#include "core/globals.h"
#include "core/utils.h"
#include "platform/mtd.h"

// The caller owns the descriptor and closes it, so a failure here leaves it
// open: closing it twice could close a file another thread has just opened.
int Utils::non_region_erase(int fd, int offset, int length, int unlock)
{
    platform::MtdInfo info;
    if (platform::mtd().getInfo(fd, &info) != 0 || info.erasesize == 0)
        return 8;
    uint32_t blocks = (uint32_t(length) + info.erasesize - 1) / info.erasesize;
    VYX_DEBUG("\r\nPerforming Flash Erase of length %u at offset 0x%x\n", info.erasesize, offset);
    uint32_t at = uint32_t(offset);
    for (uint32_t i = 0; i < blocks; ++i, at += info.erasesize) {
        if (unlock && platform::mtd().unlock(fd, at, info.erasesize) != 0)
            return 8;
        if (platform::mtd().erase(fd, at, info.erasesize) != 0)
            return 8;
    }
    return 0;
}

int Utils::non_region_write(int fd, unsigned char* data, int length, int offset)
{
    platform::MtdInfo info;
    if (platform::mtd().getInfo(fd, &info) != 0 || info.writesize == 0)
        return 1;
    uint32_t page = info.writesize;
    uint32_t pages = uint32_t(length) / page;
    uint32_t rest = uint32_t(length) % page;
    uint32_t at = 0;
    for (uint32_t i = 0; i < pages; ++i, at += page) {
        if (platform::mtd().pwrite(fd, data + at, page, offset + at) != ssize_t(page)) {
            VYX_DEBUG("\n nand non_region_write error %#x ,writesize=%#x,offset=%#x,size=%#x\n", pages, page,
                      offset, length);
            return 1;
        }
    }
    if (rest && platform::mtd().pwrite(fd, data + at, rest, offset + at) != ssize_t(rest)) {
        VYX_DEBUG("\n nand non_region_write error %#x,size=%#x \n", rest, length);
        return 1;
    }
    return 0;
}
