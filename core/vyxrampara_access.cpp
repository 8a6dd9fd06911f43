// Shared operations on the parameter image: image sources, crops, freeze,
// black, EDID requests, the language check and the user-mode queries.
#include "core/vyxrampara.h"
#include "core/utils.h"

using namespace ram;

namespace {

bool imageEnabled(const uint8_t* image, int w)
{
    return w >= 0 && w < kImageRecordCount && (le16(image + imageRecord(w) + kImgEnable) & kImageEnabled);
}

} // namespace

int VyxRamPara::VyxGetImageSource(unsigned char* buffer, unsigned char image, short* isCrop, char* cropIndex,
                                  unsigned char inSlot)
{
    if (image >= kImageRecordCount) {
        *isCrop = 0;
        return 0xFF;
    }
    // A slot's data part starts with image byte 896.
    const int base = inSlot ? kModeStart : 0;
    uint16_t word = le16(buffer + imageRecord(image) + kImgSource - base);
    if (!(word & kSourceIsCrop)) {
        *isCrop = 0;
        return word & 0xFF;
    }
    *isCrop = 1;
    int entry = word & 0xFF;
    *cropIndex = char(entry);
    return le16(buffer + cropEntry(entry) + kCropId - base) & kCropSourceMask;
}

unsigned char VyxRamPara::VyxSourceId_is_on(unsigned char device)
{
    for (int w = 0; w < kWindowImages; ++w) {
        if (!imageEnabled(ram_para, w))
            continue;
        short isCrop = 0;
        char cropIndex = 0;
        int source = VyxGetImageSource(ram_para, uint8_t(w), &isCrop, &cropIndex, 0);
        int shown = (source >= 1 && source <= 3) ? source : 0;
        if (shown == device)
            return 1;
    }
    return 0;
}
