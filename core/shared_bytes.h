#pragma once
// Byte layouts several threads use at once without a lock: the parameter
// image, its snapshot, the user-mode slots and the local registers. A PC
// link, the scaler, the input thread and the GUI thread each write fields
// of them at any moment and tell the others afterwards with a change code,
// so a reader may see a field half old, half new until that code arrives,
// and is built for it. What must not happen is a torn byte or a compiler
// that assumes nobody else writes: every byte of these layouts is read and
// written whole, as a relaxed atomic (a plain byte move on the device).
// The little-endian helpers of core/utils.h go through these as well, since
// the same helpers serve frames and the shared layouts.

#include <cstddef>
#include <cstdint>

inline uint8_t loadShared(const uint8_t* p) { return __atomic_load_n(p, __ATOMIC_RELAXED); }
inline void storeShared(uint8_t* p, uint8_t v) { __atomic_store_n(p, v, __ATOMIC_RELAXED); }

// memcpy for shared layouts on either side (the ranges must not overlap).
inline void copyShared(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        storeShared(dst + i, loadShared(src + i));
}

// memset for shared layouts.
inline void fillShared(uint8_t* dst, uint8_t value, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        storeShared(dst + i, value);
}
