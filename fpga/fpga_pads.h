#pragma once
// GPIO pads of the FPGA lines in the SoC register window, by window offset.
// Every line is active low; writing kPadHigh drives it high, kPadLow low.
// Index 0 is FPGA 0 (output ports 1-10), index 1 FPGA 1 (ports 11-20).

#include <cstdint>

namespace fpga_pads {

constexpr uint16_t kPadHigh = 16;
constexpr uint16_t kPadLow = 0;

// The FPGA listens while its select is low. Both selects high routes the
// shared bus to the scaler chip.
constexpr uint32_t kSelect[2] = {0x207810, 0x207900};
// Low after the command word, for the data phase.
constexpr uint32_t kCommand[2] = {0x207838, 0x207954};
constexpr uint32_t kFlashSelect[2] = {0x207860, 0x207950};
constexpr uint32_t kReset[2] = {0x207858, 0x207864};
// Receive interrupt input, bit 0.
constexpr uint32_t kInterrupt[2] = {0x207908, 0x207910};

} // namespace fpga_pads

namespace fpga_pads {

// Written once when the window is mapped: two pads driven low and a SoC
// control register set to 1.
constexpr uint32_t kStartLow[2] = {0x207940, 0x207944};
constexpr uint32_t kStartControl = 0x1F1C;

} // namespace fpga_pads
