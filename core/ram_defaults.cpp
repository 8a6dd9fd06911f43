// The default parameter file, built from the byte map at compile time.
#include "core/ram_map.h"

using namespace ram;

namespace {

using Table = std::array<uint8_t, kParamFileSize>;

constexpr void put16(Table& t, int imageOffset, uint16_t v)
{
    t[imageOffset - kFileToImage] = uint8_t(v);
    t[imageOffset - kFileToImage + 1] = uint8_t(v >> 8);
}

constexpr void putRect(Table& t, int imageOffset, uint16_t x, uint16_t y, uint16_t w, uint16_t h)
{
    put16(t, imageOffset, x);
    put16(t, imageOffset + 2, y);
    put16(t, imageOffset + 4, w);
    put16(t, imageOffset + 6, h);
}

constexpr Table buildDefaults()
{
    Table t{};
    t[0] = kMarkerSaved;
    t[1] = kMarkerSaved;

    put16(t, kReserved770, 100);

    for (int i = 0; i < kEdidRequestCount; ++i) {
        bool uhd = i >= 4;
        put16(t, edidRequest(i) + 0, uhd ? 3840 : 1920);
        put16(t, edidRequest(i) + 2, uhd ? 2160 : 1080);
        put16(t, edidRequest(i) + 4, 60);
    }

    put16(t, kLedWidth, 1920);
    put16(t, kLedHeight, 1080);
    put16(t, kOutChannelsAcross, 1);
    put16(t, kOutChannelsDown, 1);
    put16(t, kOutChannelWidth, 1920);
    put16(t, kOutChannelHeight, 1080);
    putRect(t, kOutput1, 0, 0, 1920, 1080);
    putRect(t, kOutput2, 0, 0, 1920, 1080);

    // Every crop entry free (bit 15 clear); the rest is a full-picture crop.
    for (int e = 0; e < kCropTableSlots; ++e) {
        put16(t, cropEntry(e) + kCropId, 0x0002);
        putRect(t, cropEntry(e) + kCropX, 0, 0, 1920, 1080);
    }

    put16(t, kBrightness, 100);
    put16(t, kContrast, 50);
    put16(t, kSharpness, 10);
    put16(t, kSaturation, 50);
    put16(t, kColourTempType, 2);
    put16(t, kColourTempRed, 64);
    put16(t, kColourTempGreen, 64);
    put16(t, kColourTempBlue, 64);

    for (int w = 0; w < kImageRecordCount; ++w)
        put16(t, kLayerPriority + 2 * w, uint16_t(w));
    put16(t, kReserved2270, 1);

    // Window images 0..5 show source 1 full size; only image 0 is open.
    for (int w = 0; w < kWindowImages; ++w) {
        int r = imageRecord(w);
        put16(t, r + kImgEnable, w == 0 ? kImageEnabled : 0);
        put16(t, r + kImgSource, 1);
        put16(t, r + kImgWidth, 1920);
        put16(t, r + kImgHeight, 1080);
    }
    return t;
}

} // namespace

constexpr Table kDefaults = buildDefaults();
const Table default_para_ramlist = kDefaults;
