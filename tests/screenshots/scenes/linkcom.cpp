// The serial link's fixed settings.
#include "tests/screenshots/scenes.h"

#include "ui/setup/linkcom.h"

VYX_SCREENSHOTS(linkcom)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("open");
        paneltest::key(g_linkcom, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_linkcom, kPageLinkcom); });
}
