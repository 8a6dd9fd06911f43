#include "video_io/edid.h"

#include <cstring>

namespace {

const uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

void sealBlock(uint8_t* block)
{
    uint8_t sum = 0;
    for (int i = 0; i < kEdidBlock - 1; ++i)
        sum = uint8_t(sum + block[i]);
    block[kEdidBlock - 1] = uint8_t(0x100 - sum);
}

bool blockSumOk(const uint8_t* block)
{
    uint8_t sum = 0;
    for (int i = 0; i < kEdidBlock; ++i)
        sum = uint8_t(sum + block[i]);
    return sum == 0;
}

bool putDetailedTiming(const VideoTiming& t, uint8_t* d)
{
    int hblank = t.htotal - t.hact;
    int vblank = t.vtotal - t.vact;
    int hfront = hblank - t.hsync - t.hback;
    int vfront = vblank - t.vsync - t.vback;
    uint32_t clock = t.pclkKHz / 10;
    if (clock == 0 || clock > 0xFFFF || t.hact > 4095 || t.vact > 4095 || hblank < 0 || hblank > 4095 ||
        vblank < 0 || vblank > 4095 || hfront < 0 || hfront > 1023 || t.hsync > 1023 || vfront < 0 ||
        vfront > 63 || t.vsync > 63)
        return false;
    d[0] = uint8_t(clock);
    d[1] = uint8_t(clock >> 8);
    d[2] = uint8_t(t.hact);
    d[3] = uint8_t(hblank);
    d[4] = uint8_t(((t.hact >> 8) << 4) | (hblank >> 8));
    d[5] = uint8_t(t.vact);
    d[6] = uint8_t(vblank);
    d[7] = uint8_t(((t.vact >> 8) << 4) | (vblank >> 8));
    d[8] = uint8_t(hfront);
    d[9] = uint8_t(t.hsync);
    d[10] = uint8_t(((vfront & 0x0F) << 4) | (t.vsync & 0x0F));
    d[11] = uint8_t(((hfront >> 8) << 6) | ((t.hsync >> 8) << 4) | ((vfront >> 4) << 2) | (t.vsync >> 4));
    // Image size 16:9 of a 1.6 m wide wall; no border.
    d[12] = uint8_t(1600 & 0xFF);
    d[13] = uint8_t(900 & 0xFF);
    d[14] = uint8_t(((1600 >> 8) << 4) | (900 >> 8));
    d[15] = 0;
    d[16] = 0;
    // Digital separate sync with the polarities.
    d[17] = uint8_t((t.interlaced ? 0x80 : 0) | 0x18 | (t.vpol ? 0x04 : 0) | (t.hpol ? 0x02 : 0));
    return true;
}

void putText(uint8_t* d, uint8_t tag, const char* text)
{
    std::memset(d, 0, 18);
    d[3] = tag;
    size_t n = std::strlen(text);
    for (int i = 0; i < 13; ++i)
        d[5 + i] = i < int(n) ? uint8_t(text[i]) : (i == int(n) ? 0x0A : 0x20);
}

} // namespace

bool edid_build(const VideoTiming& t, uint8_t out[kEdidSize])
{
    std::memset(out, 0, kEdidSize);
    uint8_t* b = out;
    std::memcpy(b, kHeader, 8);
    // Maker "VYX" in the compressed three-letter form, product 0x0058.
    uint16_t maker = uint16_t((('V' - '@') << 10) | (('Y' - '@') << 5) | ('X' - '@'));
    b[8] = uint8_t(maker >> 8);
    b[9] = uint8_t(maker);
    b[10] = 0x58;
    b[11] = 0x00;
    b[16] = 1;   // week
    b[17] = 30;  // 2020
    b[18] = 1;   // EDID 1.3
    b[19] = 3;
    b[20] = 0x80; // digital input
    b[21] = 160;  // cm
    b[22] = 90;
    b[23] = 120;  // gamma 2.2
    b[24] = 0x0A; // RGB 4:4:4, first detailed timing is preferred
    const uint8_t chroma[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
    std::memcpy(b + 25, chroma, 10);
    b[35] = 0x21; // 640x480@60, 800x600@60
    b[36] = 0x08; // 1024x768@60
    for (int i = 38; i < 54; ++i)
        b[i] = 0x01; // no standard timings
    if (!putDetailedTiming(t, b + 54))
        return false;

    // Range limits wide enough for the preferred timing.
    uint8_t* r = b + 72;
    r[3] = 0xFD;
    int rate = t.rate();
    uint32_t hfreqKHz = t.htotal ? (t.pclkKHz + t.htotal - 1) / t.htotal : 0;
    r[5] = 23;
    r[6] = uint8_t(rate > 75 ? (rate > 255 ? 255 : rate) : 75);
    r[7] = 15;
    r[8] = uint8_t(hfreqKHz > 160 ? (hfreqKHz > 255 ? 255 : hfreqKHz) : 160);
    uint32_t maxClock10 = (t.pclkKHz + 9999) / 10000;
    r[9] = uint8_t(maxClock10 > 255 ? 255 : (maxClock10 < 17 ? 17 : maxClock10));
    r[10] = 0x00;
    r[11] = 0x0A;
    for (int i = 12; i < 18; ++i)
        r[i] = 0x20;
    putText(b + 90, 0xFC, "LED VIDEO");
    b[108 + 3] = 0x10; // unused descriptor
    b[126] = 1;        // one extension
    sealBlock(b);

    // CEA-861 extension: the timing's video code, basic audio and the HDMI
    // blocks a source needs before it sends HDMI with sound.
    uint8_t* e = out + kEdidBlock;
    e[0] = 0x02;
    e[1] = 0x03;
    e[3] = 0x40 | 0x01; // basic audio, one native timing
    int p = 4;
    if (t.vic) {
        e[p++] = 0x40 | 1;
        e[p++] = uint8_t(t.vic <= 64 ? (t.vic | 0x80) : t.vic);
    }
    const uint8_t audio[] = {0x20 | 3, 0x09, 0x07, 0x07};     // LPCM 2 ch, 32-48 kHz, 16-24 bit
    const uint8_t speakers[] = {0x80 | 3, 0x01, 0x00, 0x00}; // front left and right
    std::memcpy(e + p, audio, sizeof audio);
    p += sizeof audio;
    std::memcpy(e + p, speakers, sizeof speakers);
    p += sizeof speakers;
    uint32_t tmds = t.pclkKHz > 340000 ? 340000 : (t.pclkKHz < 165000 ? 165000 : t.pclkKHz);
    const uint8_t hdmi[] = {0x60 | 7, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, uint8_t(tmds / 5000)};
    std::memcpy(e + p, hdmi, sizeof hdmi);
    p += sizeof hdmi;
    if (t.pclkKHz > 340000) {
        // HDMI 2.0 block: up to 600 MHz, SCDC present.
        const uint8_t forum[] = {0x60 | 7, 0xD8, 0x5D, 0xC4, 0x01, 600 / 5, 0x80, 0x00};
        std::memcpy(e + p, forum, sizeof forum);
        p += sizeof forum;
    }
    e[2] = uint8_t(p);
    sealBlock(e);
    return true;
}

bool edid_valid(const uint8_t* data, int length)
{
    if (length < kEdidBlock || length % kEdidBlock || std::memcmp(data, kHeader, 8) != 0)
        return false;
    int blocks = 1 + data[126];
    if (blocks * kEdidBlock != length)
        return false;
    for (int i = 0; i < blocks; ++i)
        if (!blockSumOk(data + i * kEdidBlock))
            return false;
    return true;
}

bool edid_preferred_timing(const uint8_t* block, VideoTiming* t)
{
    const uint8_t* d = block + 54;
    uint32_t clock = uint32_t(d[0] | (d[1] << 8));
    if (clock == 0)
        return false;
    VideoTiming v;
    v.pclkKHz = clock * 10;
    v.hact = uint16_t(d[2] | ((d[4] >> 4) << 8));
    int hblank = d[3] | ((d[4] & 0x0F) << 8);
    v.vact = uint16_t(d[5] | ((d[7] >> 4) << 8));
    int vblank = d[6] | ((d[7] & 0x0F) << 8);
    int hfront = d[8] | ((d[11] >> 6) << 8);
    v.hsync = uint16_t(d[9] | (((d[11] >> 4) & 3) << 8));
    int vfront = (d[10] >> 4) | (((d[11] >> 2) & 3) << 4);
    v.vsync = uint16_t((d[10] & 0x0F) | ((d[11] & 3) << 4));
    v.htotal = uint16_t(v.hact + hblank);
    v.vtotal = uint16_t(v.vact + vblank);
    v.hback = uint16_t(hblank - hfront - v.hsync);
    v.vback = uint16_t(vblank - vfront - v.vsync);
    v.interlaced = (d[17] & 0x80) ? 1 : 0;
    v.vpol = (d[17] & 0x04) ? 1 : 0;
    v.hpol = (d[17] & 0x02) ? 1 : 0;
    *t = v;
    return true;
}
