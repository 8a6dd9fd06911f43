#pragma once
// What every fuzz target shares: a private root directory on the simulated
// back-end, a quiet process, and a check that stops at a broken property.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class VyxRamPara;

namespace fuzz {

// Prepares the process on the first call (root directory removed at exit,
// no fixed pauses, no diagnostics printed, shell commands kept in memory
// only); later calls only forget the simulated shell's log so that long
// runs stay small.
void begin();

// Replaces the file at `absPath` under the root with `size` bytes of `data`.
void writeFile(const std::string& absPath, const uint8_t* data, size_t size);
// Holds `size` bytes of `data` in memory as the file at `absPath`, for the
// readers that read through LockedFileReader (platform/memory_files.h):
// thousands of reads of an input cost no file opened.
void holdFile(const std::string& absPath, const uint8_t* data, size_t size);

// The parameter store as its first load from the defaults left it: loaded
// once, then its image, snapshot, user modes and registers are put back on
// every call.
VyxRamPara* freshStore();

// The input as the file a reader saw: bounds and little-endian fields, for
// checking what the reader made of it.
struct RawFile {
    const uint8_t* d;
    size_t n;
    bool holds(uint64_t at, uint64_t len) const { return at <= n && len <= n - at; }
    uint16_t u16(uint64_t at) const { return uint16_t(d[at] | d[at + 1] << 8); }
    uint32_t u32(uint64_t at) const { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; }
};

} // namespace fuzz

// A property of the output that must hold for every input.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond);       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
