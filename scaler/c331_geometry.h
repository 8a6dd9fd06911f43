#pragma once
// Arithmetic of window geometry shared by the input and output side: the
// 16.16 scaling steps, the frame-memory layout of a line per memory write
// mode, and sub-pixel phases. Products run in 64 bits: window sizes come
// from the PC as 16-bit values and (size - 1) << 16 does not fit 32.

#include <cstdint>

namespace c331geom {

constexpr int64_t kOne = 0x10000; // 1.0 in 16.16

// Step of a shrink from `in` to `out` pixels (1 <= out < in) or a zoom from
// `in` to `out` (in < out): ((smaller - 1) << 16) / (larger - 1) + 1.
inline int64_t step(int64_t smaller, int64_t larger)
{
    return larger > 1 ? ((smaller - 1) << 16) / (larger - 1) + 1 : kOne;
}

// Input-side shrink step, 1.0 when the window is not shrunk.
inline int64_t shrinkStep(int64_t in, int64_t out)
{
    return out >= 1 && out < in && in > 1 ? step(out, in) : kOne;
}

// Bytes of memory a line of n pixels takes in memory write mode 1 (packed
// 16 bytes per 5 pixels), 2 (8 bytes per 3), 3 (2 bytes a pixel) or any
// other (4 bytes a pixel).
inline int64_t lineSize(int64_t n, int mode)
{
    switch (mode) {
    case 1: return (n / 5) * 80 / 5 + (n % 5) * 3;
    case 2: return (n + 2) / 3 * 3 * 8 / 3;
    case 3: return 2 * n;
    default: return 4 * n;
    }
}

// Byte offset of pixel x inside a line.
inline int64_t memPos(int64_t x, int mode)
{
    switch (mode) {
    case 1: return x * 16 / 5;
    case 2: return x * 8 / 3;
    case 3: return 2 * x;
    default: return 4 * x;
    }
}

// Initial phase of a shrink starting at input pixel `start`:
// 0x100 - (((start * step) & 0xFFFF) >> 8); 0x100 means none (0).
inline int shrinkPhase(int64_t start, int64_t stepSize)
{
    const int phase = int(0x100 - (((start * stepSize) & 0xFFFF) >> 8));
    return phase == 0x100 ? 0 : phase;
}

// Pack five 3-bit frame-buffer numbers, one nibble each.
inline uint32_t packBuffers(const int32_t* b)
{
    return uint32_t(b[0] & 7) | uint32_t(b[1] & 7) << 4 | uint32_t(b[2] & 7) << 8 | uint32_t(b[3] & 7) << 12 |
           uint32_t(b[4] & 7) << 16;
}

} // namespace c331geom
