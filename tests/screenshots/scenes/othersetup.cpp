// The other-settings screen with images 1 and 3 in use and the sound on
// image 3: the image row focused, the sound row being edited, and the WiFi
// row focused.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/setup/othersetup.h"

VYX_SCREENSHOTS(othersetup)
{
    uint8_t* image = VyxRamPara::pInstance()->ram_para;
    for (int k = 0; k < ram::kImageRecordCount; ++k)
        putLe16(image + ram::imageRecord(k) + ram::kImgEnable, k == 0 || k == 2 ? 1 : 0);
    putLe16(image + ram::kAudioImage, 2);
    putLe16(image + ram::imageRecord(2) + ram::kImgAudio, 0x80FF);
    ModalDriver drive;
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_othersetup, panel::kKeyRight);
        paneltest::key(g_othersetup, panel::kKeyOk);
        paneltest::key(g_othersetup, panel::kKeyRight);
        shot.take("editing");
        paneltest::key(g_othersetup, panel::kKeyBack);
        paneltest::key(g_othersetup, panel::kKeyRight);
        paneltest::key(g_othersetup, panel::kKeyRight);
        shot.take("wifi-focused");
        paneltest::key(g_othersetup, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_othersetup, kPageOthersetup); });
}
