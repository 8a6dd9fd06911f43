#include "platform/sim_pages.h"
#include "platform/platform.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VYX_SIM_PAGES_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VYX_SIM_PAGES_ON_HEAP 1
#endif
#endif

namespace platform {
namespace simpages {

namespace {
// Address space only: a page costs memory once written. Both FPGA flashes,
// the scaler's flash and a good part of its chip memory fit.
constexpr size_t kRegionBytes = sizeof(void*) == 8 ? size_t(1) << 30 : size_t(96) << 20;

// Named where the kernel can, so that pmap and smaps show it too.
#ifndef PR_SET_VMA
#define PR_SET_VMA 0x53564d41
#endif
#ifndef PR_SET_VMA_ANON_NAME
#define PR_SET_VMA_ANON_NAME 0
#endif

struct Region {
    std::mutex mutex;
    uint8_t* base = nullptr;
    size_t used = 0; // bytes ever handed out, from base on
    std::vector<uint8_t*> returned;
    size_t inUse = 0;

    Region()
    {
#ifndef VYX_SIM_PAGES_ON_HEAP
        void* p = ::mmap(nullptr, kRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                         -1, 0);
        if (p == MAP_FAILED)
            return;
        base = static_cast<uint8_t*>(p);
        ::prctl(PR_SET_VMA, PR_SET_VMA_ANON_NAME, reinterpret_cast<unsigned long>(p), kRegionBytes,
                reinterpret_cast<unsigned long>("vyx-sim"));
#endif
    }
    bool holds(const uint8_t* p) const { return base && p >= base && p < base + kRegionBytes; }
};

Region& region()
{
    static Region* r = new Region; // pages may be given back during exit
    return *r;
}
} // namespace

uint8_t* take()
{
    Region& r = region();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        uint8_t* p = nullptr;
        if (!r.returned.empty()) {
            p = r.returned.back();
            r.returned.pop_back();
        } else if (r.base && r.used + kPage <= kRegionBytes) {
            p = r.base + r.used;
            r.used += kPage;
        }
        if (p) {
            ++r.inUse;
            return p;
        }
    }
    return new uint8_t[kPage];
}

void give(uint8_t* page)
{
    if (!page)
        return;
    Region& r = region();
    if (!r.holds(page)) {
        delete[] page;
        return;
    }
    ::madvise(page, kPage, MADV_DONTNEED);
    std::lock_guard<std::mutex> lock(r.mutex);
    r.returned.push_back(page);
    --r.inUse;
}

uintptr_t regionBegin() { return reinterpret_cast<uintptr_t>(region().base); }

uintptr_t regionEnd() { return region().base ? regionBegin() + kRegionBytes : 0; }

size_t pagesInUse()
{
    Region& r = region();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.inUse;
}

void describe()
{
    const std::string path = sysPath("/sim/memory");
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return;
    std::fprintf(f,
                 "# Where the simulated chips keep their memories (flashes, RAM banks, chip memory):\n"
                 "# bench/run counts the resident pages of this address range as the simulation's share.\n"
                 "pid %d\nregion %#lx %#lx\n",
                 int(::getpid()), static_cast<unsigned long>(regionBegin()), static_cast<unsigned long>(regionEnd()));
    std::fclose(f);
}

} // namespace simpages
} // namespace platform
