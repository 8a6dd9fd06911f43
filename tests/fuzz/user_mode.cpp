// A user-mode file "/data/modes/custom_mode<n>": the first input byte picks
// the mode (1..16), the rest is the file as the store loads it. What the
// panel then reads of the mode: whether it is saved, the saved-mode search
// and the sources of its images.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_support.h"

using namespace ram;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    fuzz::begin();
    VyxRamPara* p = fuzz::freshStore();
    const int slot = data[0] % kModeSlots;
    const std::string file = "/data/modes/custom_mode" + std::to_string(slot + 1);
    fuzz::writeFile(file, data + 1, size - 1);

    FUZZ_CHECK(p->mode_file_deal(slot, 0) == 1);
    const size_t loaded = size - 1 < size_t(kModeFileSize) ? size - 1 : size_t(kModeFileSize);
    FUZZ_CHECK(std::memcmp(p->user_mode[slot], data + 1, loaded) == 0);
    int saved = p->VyxUserModeSaved(slot);
    FUZZ_CHECK(saved == (p->user_mode[slot][0] == kMarkerSaved && p->user_mode[slot][1] == kMarkerSaved));
    for (int current = 0; current <= kModeSlots + 1; ++current) {
        for (int direction = 0; direction < 3; ++direction) {
            int found = p->VyxUserModeIndex(char(current), char(direction));
            // Only this slot can be saved: every other one is empty.
            FUZZ_CHECK(found == (saved ? slot : 0x100));
        }
    }
    for (int image = 0; image <= kImageRecordCount; ++image) {
        short isCrop = -1;
        char cropIndex = 0;
        int source = p->VyxGetImageSource(p->user_mode[slot] + kSlotData, uint8_t(image), &isCrop, &cropIndex, 1);
        FUZZ_CHECK(source >= 0 && source <= 0xFF);
    }
    std::remove(platform::sysPath(file).c_str());
    return 0;
}
