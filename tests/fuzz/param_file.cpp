// The parameter file "/data/ram_device_info" as the store finds it at start,
// and what the panel, keypad and scaler then read out of the image.
#include <cstring>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "tests/fuzz/fuzz_support.h"

using namespace ram;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    fuzz::writeFile("/data/ram_device_info", data, size);
    VyxRamPara::destroyForTest();
    VyxRamPara* p = VyxRamPara::pInstance();

    FUZZ_CHECK(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize) == 0);
    FUZZ_CHECK(g_language.load() == p->ram_para[kLanguage]);
    for (int image = 0; image <= kImageRecordCount; ++image) {
        short isCrop = -1;
        char cropIndex = 0;
        int source = p->VyxGetImageSource(p->ram_para, uint8_t(image), &isCrop, &cropIndex, 0);
        FUZZ_CHECK(source >= 0 && source <= 0xFF && (isCrop == 0 || isCrop == 1));
    }
    for (int device = 0; device < 4; ++device)
        FUZZ_CHECK(p->VyxSourceId_is_on(uint8_t(device)) <= 1);
    for (int source = -1; source <= kCropSourceIds; ++source) {
        int count = p->VyxGetSourceNum(source, kCropTableSlots);
        FUZZ_CHECK(count >= 0 && count <= kCropEntries);
        int added = p->VyxAddCropID(source);
        FUZZ_CHECK(added >= 0 && added <= kCropNumbers);
        // Each used crop of the source, and one past them.
        for (int k = 0; k <= count + 1; ++k) {
            int number = p->VyxGetCropID(source, k);
            FUZZ_CHECK(number >= 0 && number <= kCropNumbers);
            CROP_PARA crop{};
            int entry = -1;
            p->VyxGetCropPara(source, k, &crop, &entry);
            FUZZ_CHECK(entry >= 0 && entry <= kCropEntries);
            FUZZ_CHECK(entry == kCropEntries || (number != 0 && (crop.source & kCropSourceMask) == source));
        }
    }
    int mode = p->VyxGetCurrentModeIndex();
    FUZZ_CHECK(mode >= 0 && mode <= kModeSlots);
    FUZZ_CHECK(p->VyxLanguageChanged() == 0);
    return 0;
}
