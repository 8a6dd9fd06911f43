#pragma once
// Addresses and registers of the devices on the video I2C bus. The EDID
// memories and the HDMI receivers come in identical sets, one per input, so
// they sit behind two multiplexers: input i (0..2) on channel i of 0xE0,
// input 3 on channel 0 of 0xEE and the SDI path on its channel 1.

#include <cstdint>

namespace vbus {

// ---- main bus ----
constexpr uint8_t kMux14 = 0xE0;        // channels 0..2: HDMI 1.4 inputs 0..2
constexpr uint8_t kMux20 = 0xEE;        // channel 0: HDMI 2.0 input 3; channel 1: SDI path
constexpr uint8_t kExpander = 0x40;     // GPIO expander
constexpr uint8_t kClockSynth = 0xCA;   // clock synthesizer of the video links
constexpr uint8_t kLinkChip[2] = {0xD0, 0xD2}; // video-link chips feeding FPGA 0 and FPGA 1
constexpr uint8_t kHdmiTx = 0x72;       // HDMI transmitter (not driven)

// ---- behind the multiplexers ----
constexpr uint8_t kEeprom = 0xA0;       // EDID memory, 256 bytes, 8-byte pages
constexpr uint8_t kIt6602 = 0x90;       // HDMI 1.4 receiver of inputs 0..2
constexpr uint8_t kIt6805 = 0x58;       // HDMI 2.0 receiver with V-by-One output, input 3
constexpr uint8_t kSdiTx = 0x98;        // HDMI transmitter on the SDI path (not driven)

constexpr int kEepromSize = 256;
constexpr int kEepromPage = 8;

// Segment numbers of Drv_I2C0: -1 the main bus, 0..3 the inputs, 4 the SDI path.
constexpr int kSegMain = -1;
constexpr int kSegSdi = 4;

// ---- GPIO expander registers ----
constexpr uint8_t kExpInput = 0x00;
constexpr uint8_t kExpOutput = 0x01;
constexpr uint8_t kExpAudioMask = 64 | 32 | 16 | 4; // audio path select of inputs 0..3

// ---- clock synthesizer ----
constexpr uint8_t kClkId = 0x00;        // reads kClkIdValue
constexpr uint8_t kClkIdValue = 0x81;
constexpr uint8_t kClkOutput = 0x02;    // bit 7: outputs on

// ---- video-link chips ----
constexpr uint8_t kLinkId = 0x00;       // reads kLinkIdValue
constexpr uint8_t kLinkIdValue = 0x68;
constexpr uint8_t kLinkCtrl = 0x01;     // bit 0: link on
constexpr uint8_t kLinkStatus = 0x02;   // bit 0: locked (link on and clock running)

// ---- receivers ----
constexpr uint8_t kRxId = 0x00;         // 2 bytes, little-endian chip id
constexpr uint16_t kIt6602Id = 0x6602;
constexpr uint16_t kIt6805Id = 0x6805;
constexpr uint8_t kRxStatus = 0x10;     // bit 0 source power (+5 V), bit 1 video sync detected
constexpr uint8_t kRxStatus5V = 0x01;
constexpr uint8_t kRxStatusScdt = 0x02;
constexpr uint8_t kRxInt = 0x11;        // bit 0 video state changed; write 1 to clear
constexpr uint8_t kRxHpd = 0x12;        // bit 0 hot-plug line high
constexpr uint8_t kRxOut = 0x13;        // bit 0 video output on, bit 1 audio output on
constexpr uint8_t kRxReset = 0x14;      // write 1: soft reset
constexpr uint8_t kRxVboLanes = 0x15;   // V-by-One lane count (input 3 only)
// Measured timing, little-endian: hact, hsync, hback, htotal, vact, vsync,
// vback, vtotal (u16 each), polarity (bit 0 h, bit 1 v, bit 2 interlaced),
// pixel clock in kHz (u32).
constexpr uint8_t kRxTiming = 0x20;
constexpr int kRxTimingLen = 21;

// Highest pixel clock each receiver locks to.
constexpr uint32_t kIt6602MaxKHz = 340000;
constexpr uint32_t kIt6805MaxKHz = 600000;

} // namespace vbus
