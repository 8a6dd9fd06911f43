#pragma once
// The scaler's filter and noise-reduction tables, as data: coefficient sets
// of the scalers with the ratio thresholds that pick them, and the register
// values of the noise reducers, the motion and diagonal filters, the comb
// filter and the deinterlacer's cadence detector, per level or class.
// c331_manage::lut and c331_manage::lut_set_lut_vzoom_4sym live here too.

#include <cstddef>
#include <cstdint>

namespace c331filters {

// One register write: code 0xBBAANN (at the channel's bank offset) and value.
struct RegWrite {
    uint32_t code;
    uint32_t value;
};
// A list of them.
struct RegList {
    const RegWrite* writes;
    size_t count;
};

// ---- scaler coefficients ----
// Horizontal shrink (and the unused vertical shrink): the coefficient set
// number of the first row whose limit the 16.16 ratio is below.
struct ShrinkSet {
    int32_t below;
    int32_t set;
};
extern const ShrinkSet kHShrinkSets[];
extern const size_t kHShrinkSetCount;
constexpr int32_t kHShrinkNone = 44;  // no shrink (ratio 0) and the top of the range
constexpr int32_t kHZoomSet = 46;
// 4-tap vertical shrink: the lut set of the first row whose limit the ratio
// reaches; set 1 below them all.
struct VShrinkSet {
    int32_t atLeast;
    int32_t set;
};
extern const VShrinkSet kVShrinkSets[];
extern const size_t kVShrinkSetCount;
constexpr int kLutValues = 24;

// ---- block noise reduction ----
// The eleven values of a level (1..3) for 0x153902, 0x153B01..0x154401.
extern const uint32_t kBlockNrLevel[3][11];
extern const uint32_t kBlockNrLevelRegs[11];
// The members by active height; interlaced members leave the NR enable off.
struct BlockNrMember {
    int32_t height;
    bool interlaced;
    uint32_t a1, b1, a2, b2, e;
};
extern const BlockNrMember kBlockNrMembers[5];
// The fixed part of a member's list before its two groups, and after them.
extern const RegList kBlockNrHead, kBlockNrTail;

// ---- temporal noise reduction: 0x120901..0x120C01, then 0x120D01..0x121401 by level ----
extern const uint32_t kTemporalSteps[4];
extern const uint32_t kTemporalLevel[3][8];

// ---- horizontal and vertical noise reduction, levels 1..3 ----
extern const uint32_t kHvLow[3], kHvHigh[3];

// ---- mosquito noise reduction, levels 1..3 ----
extern const RegList kMosquito[3];

// ---- comb filter, levels 1..3: 0x143B01, 0x143C01, 0x143D01 ----
extern const uint32_t kComb[3][3];

// ---- diagonal interpolation, levels 1..3: 0x145001..0x145F01 ----
extern const uint32_t kDiagonal[3][16];

// ---- motion filter, levels 0..4: T, U and V register groups ----
extern const uint32_t kMotionT[5], kMotionU[5], kMotionV[5];

// ---- cadence detector of the interlaced classes 5, 6, 7, 8 ----
struct CadenceRow {
    uint32_t code;
    uint32_t byClass[4];
};
extern const CadenceRow kCadence[];
extern const size_t kCadenceCount;
// Then per field size: 1080i (classes 5, 6) and 480i / 576i (7, 8).
extern const RegList kCadence1080i, kCadenceSd;

} // namespace c331filters
