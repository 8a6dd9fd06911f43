#pragma once
// What the HDMI receiver drivers share: reading a receiver's change flag,
// status and measured timing, and setting its outputs and hot-plug line.

#include "video_io/hdminfo.h"

#include <cstdint>
#include <functional>

class Drv_I2C0;

// One look at the receiver of `source`. `known` (the driver's: whether it
// has read the state since a reset) and `audio` (whether the receiver
// passes sound on) are kept here. `change(video)` is called when the sync
// detect may have changed, or with false when the receiver stops
// answering while `videoOn()`.
void rx_poll(Drv_I2C0& bus, int source, uint8_t addr, bool* known, bool* audio,
             const std::function<bool()>& videoOn, const std::function<void(bool)>& change);

// Fills the timing fields of `rec` from the receiver's measurement and sets
// `nosignal` 0; the path fields (type, datamode, lane) are the caller's.
// 0, or 255 when the receiver did not answer or measured nothing.
int rx_read_timing(Drv_I2C0& bus, int segment, uint8_t addr, HDMI_INFO* rec);

int rx_set_outputs(Drv_I2C0& bus, int segment, uint8_t addr, bool video, bool audio);
int rx_set_hpd(Drv_I2C0& bus, int segment, uint8_t addr, bool high);
int rx_reset(Drv_I2C0& bus, int segment, uint8_t addr);

// Whether an enabled image shows this source; its sound is passed on only then.
bool rx_source_shown(int source);

// Change code 12: a receiver's video state changed (sync found or lost,
// a new timing, the same timing after a replug).
void rx_announce_timing();
