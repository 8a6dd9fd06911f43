// The communication menu, then its last button focused.
#include "tests/screenshots/scenes.h"

#include "ui/shell/linkoption.h"

VYX_SCREENSHOTS(linkoption)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("menu");
        paneltest::key(g_linkoption, panel::kKeyLeft);
        shot.take("usb-update");
        paneltest::key(g_linkoption, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_linkoption, kPageLinkOption); });
}
