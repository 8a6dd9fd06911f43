#include "ui/shell/vyx_keyboard.h"
#include "core/globals.h"
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
