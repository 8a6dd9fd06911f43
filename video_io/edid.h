#pragma once
// EDIDs the inputs announce: built for one timing, or checked when they
// come from a stored table.

#include "video_io/video_timing.h"

#include <cstdint>

constexpr int kEdidBlock = 128;
constexpr int kEdidSize = 256; // base block and one CEA-861 extension

// A 256-byte EDID whose preferred (first detailed) timing is `t`, with
// basic audio and an HDMI block. False when the timing cannot be expressed
// in a detailed timing descriptor.
bool edid_build(const VideoTiming& t, uint8_t out[kEdidSize]);

// True for 128 bytes, or for 128 bytes per block as the extension count
// says, with the fixed header and every block's checksum right.
bool edid_valid(const uint8_t* data, int length);

// The first detailed timing of a base block. False when there is none.
bool edid_preferred_timing(const uint8_t* block, VideoTiming* t);
