// Device back-end of the SoC unique ID: the register window mapped from
// "/dev/mem".
#include "platform/socid.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr off_t kWindowBase = 0x1F000000;
constexpr size_t kWindowSize = 0x2B0000;
constexpr uint32_t kIdControl = 0x1F00400C;
constexpr uint32_t kIdX = 0x1F004058;
constexpr uint32_t kIdY = 0x1F00405C;
constexpr uint32_t kIdZ = 0x1F004060;

volatile uint16_t* reg16(void* window, uint32_t phys)
{
    return reinterpret_cast<volatile uint16_t*>(static_cast<char*>(window) + (phys - kWindowBase));
}
} // namespace

bool linuxReadSocUniqueId(SocUniqueId* id)
{
    int fd = ::open(sysPath("/dev/mem").c_str(), O_RDWR | O_SYNC);
    if (fd < 0)
        return false;
    void* window = ::mmap(nullptr, kWindowSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, kWindowBase);
    if (window == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    // The ID words are read with bit 8 of the ID control register cleared.
    *reg16(window, kIdControl) = uint16_t(*reg16(window, kIdControl) & ~0x100u);
    id->x = *reg16(window, kIdX);
    id->y = *reg16(window, kIdY);
    id->z = *reg16(window, kIdZ);
    ::munmap(window, kWindowSize);
    ::close(fd);
    return true;
}

} // namespace platform
