#include "ui/shell/vyx_keyboard.h"

#include <cstdio>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/hid.h"

int check_hiddev()
{
    platform::Hid& hid = platform::hid();
    if (hid.init() != 0) {
        VYX_DEBUG("\t hid init error \n");
        return 0;
    }
    int found = 0;
    for (const auto& id : hid.enumerate()) {
        VYX_DEBUG("\t VendorID = %02x , ProductID = %02x \n", id.first, id.second);
        if (id.first == platform::kKeypadVendor && id.second == platform::kKeypadProduct) {
            found = 1;
            break;
        }
    }
    VYX_DEBUG("\t check_hiddev over\n");
    return found;
}

namespace {
// The image an image key chooses, the source id a source key puts on the
// current image; -1 for other keys.
int imageOfKey(int key)
{
    static const char kKeys[] = "BCEF";
    for (int i = 0; i < 4; ++i)
        if (key == kKeys[i])
            return i;
    return -1;
}

int sourceOfKey(int key)
{
    static const char kKeys[] = "JKLI"; // by source id: DVI, HDMI1, HDMI2, HDMI3
    for (int s = 0; s < 4; ++s)
        if (key == kKeys[s])
            return s;
    return -1;
}
} // namespace

void vyx_keyboard::update_usb_keyEvent(int key)
{
    std::printf("\n======update_usb_keyEvent===== key = %#x\n", unsigned(key));
    std::fflush(stdout);
    VyxRamPara* store = VyxRamPara::pInstance();
    if (le16(store->ram_para + ram::kPanelLock) != 0 || key < 'B' || key > 'P')
        return;
    const int image = imageOfKey(key);
    if (image >= 0) {
        if (!ram::imageEnabled(store->ram_para, image) || g_image_current.load() == image)
            return;
        g_image_current = uint8_t(image);
        // The screen on top redraws its image selection.
        store->test_signal(kChangeRefresh);
        return;
    }
    const int source = sourceOfKey(key);
    if (source >= 0)
        store->VyxSetImageSource(0, char(source), char(g_image_current.load()));
    else if (key == 'N')
        store->VyxSetImageFreeze();
    else if (key == 'P')
        store->VyxSetImageBlack();
}
