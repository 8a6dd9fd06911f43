#pragma once
// The memories of the simulated chips (the FPGAs' configuration flashes and
// RAM banks, the scaler's flash and chip memory) are kept in 4 KiB pages
// taken from one region of the address space of their own, so that what the
// simulation holds can be told apart from what the controller holds:
// "<root>/sim/memory" names the region, and bench/run counts its resident
// pages in /proc/<pid>/smaps. A page given back stops counting at once.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {
namespace simpages {

constexpr size_t kPage = 4096;

// One page, its contents undefined; from the heap once the region is used
// up (or in a build under AddressSanitizer, which then still sees every
// access).
uint8_t* take();
// Gives a page of take() back; null is fine.
void give(uint8_t* page);

struct Release {
    void operator()(uint8_t* page) const { give(page); }
};
using Page = std::unique_ptr<uint8_t[], Release>;
inline Page page() { return Page(take()); }

// The region's first and last-plus-one address (both 0 when there is none)
// and the pages handed out of it now.
uintptr_t regionBegin();
uintptr_t regionEnd();
size_t pagesInUse();

// Writes "<root>/sim/memory", which tells bench/run where the region lies.
void describe();

} // namespace simpages
} // namespace platform
