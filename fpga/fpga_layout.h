#pragma once
// Byte offsets inside an FPGA's 1024-byte parameter RAM image (FPGA RAM 1)
// and its 136-byte layout block. Slot s is output port s+1 of FPGA 0 or
// port s+11 of FPGA 1; ten of the sixteen slots are wired.

#include <cstdint>

namespace fpga_layout {

constexpr int kSlots = 16;
constexpr int kWiredSlots = 10;
constexpr uint8_t kParamRam = 1;          // FPGA RAM id of the parameter RAM

// Slot rectangles: u16 x, y, width, height from the slot's base.
constexpr int kRectBase0[4] = {8, 19, 32, 43}; // slots 0-3
constexpr int kRectBase4 = 520;                // slots 4-7: 520 + 8k
constexpr int kRectBase8 = 576;                // slots 8-15: 576 + 8k
constexpr int rectBase(int slot)
{
    return slot >= 1 && slot <= 3 ? kRectBase0[slot]
           : slot >= 4 && slot <= 7 ? kRectBase4 + 8 * (slot - 4)
           : slot >= 8 && slot <= 15 ? kRectBase8 + 8 * (slot - 8)
                                    : kRectBase0[0];
}

constexpr int kOriginX = 56, kOriginY = 58;   // u16 screen origin
constexpr int kScreenW = 60, kScreenH = 62;   // u16 screen size
// Link bits: slots 0,1 -> byte 96 bits 0,1; slots 2,3 -> bits 3,4; slots
// 4-7 -> byte 512 bits 0-3; slots 8-15 -> byte 513. The other bits of 96
// and 512 are other settings.
constexpr int kLinks0 = 96, kLinks1 = 512, kLinks2 = 513;
constexpr uint8_t kLinks0Mask = 0x1B;
constexpr int kReloadedBegin = 96, kReloadedEnd = 128; // cleared when reloaded from flash
// Measured input: u16 width, u16 height, u32 frame period.
constexpr int kMeasured = 116;
constexpr int kPortNumbers = 276;             // 10 bytes: the FPGA's port numbers
constexpr int kSlotPair = 296;                // per slot two u16, 4 bytes apart
constexpr int kDefaultCleared[2] = {496, 498};

// Card table: u16 card count and status byte per slot.
constexpr int kCardCount[kSlots] = {100, 102, 108, 110, 560, 564, 568, 572,
                                    640, 644, 648, 652, 656, 660, 664, 668};
constexpr int kCardStatus[kSlots] = {104, 106, 112, 114, 562, 566, 570, 574,
                                     642, 646, 650, 654, 658, 662, 666, 670};

// Layout block (MCU_RAM_ETH_BACK_PARA_func): size, sixteen rectangles, origin.
constexpr int kBlockW = 0, kBlockH = 2;
constexpr int blockRect(int slot) { return 4 + 8 * slot; }
constexpr int kBlockOriginX = 132, kBlockOriginY = 134;

// Parameter RAM copy in FPGA flash: marker 0xAA, then the 1024 bytes.
constexpr uint32_t kFlashParamMarker = 0x308000;
constexpr uint32_t kFlashParam = 0x308001;
constexpr uint8_t kMarker = 0xAA;

} // namespace fpga_layout
