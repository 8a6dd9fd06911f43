#pragma once
// Byte map of the 4096-byte parameter image. Every offset below is a byte
// offset into the image; multi-byte fields are little-endian (le16/putLe16).
//
//   0..767     volatile status, never stored
//   768..895   device settings, stored in the parameter file
//   896..4095  settings that also form a user mode

#include <array>
#include <cstdint>

#include "core/shared_bytes.h"

namespace ram {

constexpr int kImageSize = 4096;
constexpr int kPersistStart = 768;
constexpr int kPersistLength = kImageSize - kPersistStart; // 3328
constexpr int kModeStart = 896;
constexpr int kModeLength = kImageSize - kModeStart; // 3200

// ---- volatile status ----
// Input timing record of input s (0..5): active width, active height, frame
// rate in Hz; 0 means no signal. Written under the store mutex.
constexpr int kInputTiming = 256;
constexpr int kInputTimingSize = 6;
constexpr int kInputTimingCount = 6;
constexpr int kTimingWidth = 0;
constexpr int kTimingHeight = 2;
constexpr int kTimingRate = 4;
constexpr int inputTiming(int s) { return kInputTiming + kInputTimingSize * s; }

// ---- device settings (768..895) ----
constexpr int kLanguage = 768;     // u8: 0 zh-CN, 1 en, 2 ru, 3 vi, 4 zh-TW
constexpr int kLanguageAux = 769;  // u8, cleared whenever 768 is forced
constexpr int kReserved770 = 770;  // u16, unused, defaults to 100
constexpr int kPanelLock = 772;    // u16, non-zero: panel locked
constexpr int kWifiOff = 774;      // u8, 1: WiFi switched off
constexpr int kTestPattern = 864;  // u8, 0 off .. 8 horizontal lines
constexpr int kReserved865 = 865;  // u8, unused
constexpr int kCurrentMode = 866;  // u16, current user mode 1..16, 0 none
constexpr int kModeSaveRequest = 868; // u16, user mode 1..16 to save, 0 none

// ---- user-mode part (896..4095) ----
// EDID request record of input i (0..5): width, height, refresh rate.
constexpr int kEdidRequest = 896;
constexpr int kEdidRequestSize = 6;
constexpr int kEdidRequestCount = 6;
constexpr int edidRequest(int i) { return kEdidRequest + kEdidRequestSize * i; }

constexpr int kSpliceMode = 1376;      // u16, 0..5
constexpr int kLedWidth = 1378;        // u16
constexpr int kLedHeight = 1380;       // u16
constexpr int kPictureOffsetX = 1382;  // u16
constexpr int kPictureOffsetY = 1384;  // u16
constexpr int kOutChannelsAcross = 1386;
constexpr int kOutChannelsDown = 1388;
constexpr int kOutChannelWidth = 1390;
constexpr int kOutChannelHeight = 1392;
constexpr int kOutBandwidthClass = 1394;
// Output rectangles: x, y, width, height (u16 each).
constexpr int kOutput1 = 1408;
constexpr int kOutput2 = 1416;

// Crop table: 40 entries; 24 further entries of the same layout follow and
// are only filled by the defaults.
constexpr int kCropTable = 1472;
constexpr int kCropEntrySize = 10;
constexpr int kCropEntries = 40;
constexpr int kCropTableSlots = 64;
constexpr int cropEntry(int e) { return kCropTable + kCropEntrySize * e; }
constexpr int kCropId = 0;     // id word
constexpr int kCropX = 2;
constexpr int kCropY = 4;
constexpr int kCropW = 6;
constexpr int kCropH = 8;
constexpr uint16_t kCropUsed = 0x8000;   // id word: entry in use
constexpr int kCropNumberShift = 8;      // id word bits 8..14: crop number - 1
constexpr uint16_t kCropNumberMask = 0x7F;
constexpr uint16_t kCropSourceMask = 0xFF; // id word bits 0..7: source id
constexpr int kCropSourceIds = 6;          // source ids 0..5
constexpr int kCropNumbers = 40;           // crop numbers 1..40 per source

constexpr int kAudioImage = 2112;      // u16, low byte used
constexpr int kDotByDotSwitch = 2114;  // u8
constexpr int kLedOff = 2116;          // u16, non-zero: LED screen dark
constexpr int kFadeEffect = 2118;      // u8, 1 fade, 0 seamless
constexpr int kOsdOn = 2124;           // u16, 1: the OSD menu belongs to the mode

// Picture controls, u16 each.
constexpr int kBrightness = 2176;
constexpr int kContrast = 2178;
constexpr int kSharpness = 2180;
constexpr int kSaturation = 2182;
constexpr int kColourTempType = 2184;
constexpr int kColourTempRed = 2186;
constexpr int kColourTempGreen = 2188;
constexpr int kColourTempBlue = 2190;

constexpr int kLayerPriority = 2208;   // u16 per image
constexpr int kReserved2270 = 2270;    // u16, unused, defaults to 1

// Image (window) records.
constexpr int kImageRecords = 2272;
constexpr int kImageRecordSize = 26;
constexpr int kImageRecordCount = 16;
constexpr int kWindowImages = 6;       // images the scaler and screens use
constexpr int imageRecord(int w) { return kImageRecords + kImageRecordSize * w; }
constexpr int kImgEnable = 0;    // bit 0: image shown
constexpr int kImgStored2 = 2;
constexpr int kImgMirror = 4;
constexpr int kImgStored6 = 6;
constexpr int kImgSource = 8;    // bit 15 clear: source id; set: crop entry index
constexpr int kImgX = 10;
constexpr int kImgY = 12;
constexpr int kImgWidth = 14;
constexpr int kImgHeight = 16;
constexpr int kImgOutput = 18;
constexpr int kImgAudio = 20;    // bit 15: sound on
constexpr int kImgDotMode = 22;
constexpr int kImgStored24 = 24;
constexpr uint16_t kImageEnabled = 0x0001;
inline bool imageEnabled(const uint8_t* image, int w)
{
    // The enable bit lives in the low byte of the little-endian word.
    return w >= 0 && w < kImageRecordCount && (loadShared(image + imageRecord(w) + kImgEnable) & kImageEnabled);
}
constexpr uint16_t kSourceIsCrop = 0x8000;

// What an image shows, from its source word and the crop table of the same
// buffer (`base`: the image byte the buffer starts with; a user-mode slot's
// data starts with kModeStart). Bit 15 clear: the source id in the low
// byte. Bit 15 set: crop entry e in the low byte, shown when it is one of
// the 40 and in use; a word naming any other entry (freed, or past the
// table) shows the whole DVI input, as choosing a crop that is not found
// does. The word itself is left as it was written.
struct ShownSource {
    uint8_t source = 0; // source id; a crop's is its id word's low byte
    int crop = -1;      // crop entry shown, -1 for the whole input
    bool operator==(const ShownSource& o) const { return source == o.source && crop == o.crop; }
    bool operator!=(const ShownSource& o) const { return !(*this == o); }
};
inline ShownSource shownSource(const uint8_t* buffer, uint16_t word, int base = 0)
{
    ShownSource shown;
    if (!(word & kSourceIsCrop)) {
        shown.source = uint8_t(word & 0xFF);
        return shown;
    }
    const int e = word & 0xFF;
    if (e >= kCropEntries)
        return shown;
    const uint8_t* at = buffer + cropEntry(e) + kCropId - base;
    const uint16_t id = uint16_t(loadShared(at) | loadShared(at + 1) << 8);
    if (!(id & kCropUsed))
        return shown;
    shown.source = uint8_t(id & kCropSourceMask);
    shown.crop = e;
    return shown;
}
constexpr uint16_t kOutBlack = 0x0001;
constexpr uint16_t kOutFreeze = 0x0002;
constexpr uint16_t kOutFade = 0x0004;
constexpr uint16_t kOutDotByDot = 0x0100;

// Fade-in and fade-out times, u16 per image, 4 bytes apart.
constexpr int kFadeIn = 2816;
constexpr int kFadeOut = 2818;
constexpr int kFadeStride = 4;
constexpr uint8_t kFadeAtStart = 60;

// ---- parameter file and user-mode slots ----
constexpr uint8_t kMarkerSaved = 0xAA;
constexpr uint8_t kMarkerEmpty = 0xFF;
constexpr int kFileMarkerLength = 2;
constexpr int kParamFileSize = 4096;
// Default table / parameter file byte N holds image byte N + 766.
constexpr int kFileToImage = kPersistStart - kFileMarkerLength;

constexpr int kModeSlots = 16;
constexpr int kModeSlotSize = 4098;
constexpr int kModeFileSize = 4096;
// Slot byte kSlotData + i holds image byte kModeStart + i.
constexpr int kSlotData = 2;
constexpr int slotOffset(int imageOffset) { return imageOffset - kModeStart + kSlotData; }

} // namespace ram

// The default parameter file: marker 0xAA 0xAA, the defaults of image bytes
// 768..4095 (image byte N at table byte N - 766), then 766 zero bytes.
extern const std::array<uint8_t, ram::kParamFileSize> default_para_ramlist;
