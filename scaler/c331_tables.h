#pragma once
// The scaler's fixed tables, as data: the system parameter block, the
// bring-up values no document gives, the initial register settings, the
// register-update timing modes and the default window composition.

#include <cstddef>
#include <cstdint>

namespace c331tables {

// ---- system parameter block ----
struct SystemParams {
    int32_t clock[4]; // Hz
    int32_t acthw, actvw, htotal, vtotal;
    int32_t hsw, hbp, vsw, vbp;
    int32_t vbotxMode, vbotxLayout;
    int32_t clkdiv1[5]; // [3] divider, [4] multiplier of the rate class
    int32_t clkdiv2[4];
    uint32_t planeBase[8];    // input channels 1..8
    uint32_t bufferOffset[4]; // the four field buffers of a plane
    uint32_t sflAddr, memOsd, memOsd1, fontAddr;
};
extern const SystemParams kSystemParams;

// ---- bring-up values no document gives ----
struct BringupChoices {
    int32_t dbdClip[6];
    int32_t memWmode[6];
    uint32_t fifthBufferOffset;
    int32_t winBufs[5];
    uint32_t dbdBase[5];
    uint32_t dbdBlockSize;
    int32_t memUnits;
    int32_t nrLevel;          // PM_HNR, VNR, TNR, BNR, MNR, COMB, DIAG, MVFLT
    int32_t ipEnable;         // PM_IPEN
    int32_t pulldown;         // PM_22PD, PM_23PD, their thresholds, PM_24SF
    uint32_t ipFieldBase;     // PS_MEM_IP_I/P of channel 0
    uint32_t ipChannelStride;
    uint32_t ipFieldStride;   // between the two fields of a channel
    uint32_t ipProgressive;   // P fields after the I fields
    uint32_t ipYOffset;       // PS_MEM_IPYOFF
    int32_t ipMwi;            // PS_MWI_IP
    int32_t vboLanes[3];      // PS_VBO_2LANE, _4LANE, _8LANE
    int32_t inputStart;       // PM_IACTHST, PM_IACTVST
};
extern const BringupChoices kBringupChoices;

// ---- initial register settings ----
// Where a write's value comes from.
enum class Val : uint8_t {
    Lit,          // `value` as given
    Pause,        // no register: wait `value` microseconds
    HswHalfM1,    // PS_HSW / 2 - 1
    VswM1,        // PS_VSW - 1
    SflWord,      // (PS_SFL_ADDR >> 16) | 0x8000
    ClkDiv1,      // first clock-divider group, element `value`
    ClkDiv2,      // second group, element `value`
    HtotalM2,     // PS_HTOTAL - 2
    VtotalM2,     // PS_VTOTAL - 2
    OaoiHst, OaoiHed, OaoiVst, OaoiVed,
    ActHst, ActVst,
    ActVwP1,      // PS_ACTVW + 1
    FieldBase,    // field buffer `value` of the group's channel
    ByChannel,    // kByChannel[value][channel]
    ClassByte,    // output-rate class byte
    FiveIfMode1,  // 5 with V-by-One transmitter mode 1, else 9
};

struct InitWrite {
    uint32_t code;
    uint32_t value;
    Val from;
    int bankOffset;
    // Registers written with the same value, each the next one up.
    uint8_t run;
};

// Which transmitter modes a group applies to.
enum ModeSel : int8_t { AnyMode = -1, OtherModes = -2 };

struct InitGroup {
    const InitWrite* writes;
    size_t count;
    int channels;     // written for channels 0..n-1 (bank offsets 0, 16, ...), whole group per channel
    bool clocksOnly;  // skipped without the clock generator
    int8_t mode;      // AnyMode, OtherModes, or one transmitter mode
};

extern const InitGroup kInitialSettings[];
extern const size_t kInitialSettingsCount;
extern const uint32_t kByChannel[][8];

// ---- register-update timing: modes 0, 1, 2, 3, any other ----
constexpr uint32_t kRtctOpen = 0x002901; // bit 0: timing table open
constexpr uint32_t kRtctFirst = 0x002201;
extern const uint8_t kRtct[5][7];

// ---- default window composition ----
constexpr int kParametersWords = 160;
extern const int32_t parameters_txt[kParametersWords];

} // namespace c331tables
