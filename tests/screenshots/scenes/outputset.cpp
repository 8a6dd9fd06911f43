// The output menu with a 1920x1080 LED screen set.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/shell/outputset.h"

VYX_SCREENSHOTS(outputset)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    putLe16(store->ram_para + ram::kLedWidth, 1920);
    putLe16(store->ram_para + ram::kLedHeight, 1080);
    ModalDriver drive;
    drive.then([&] {
        shot.take("menu");
        paneltest::key(g_outputset, panel::kKeyRight);
        shot.take("port-output");
        paneltest::key(g_outputset, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_outputset, kPageOutputSet); });
}
