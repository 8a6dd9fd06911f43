// The panel time-outs: as opened, then the lock time being edited.
#include "tests/screenshots/scenes.h"

#include "ui/setup/lcdshow.h"

VYX_SCREENSHOTS(lcdshow)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("open");
        paneltest::key(g_lcdshow, panel::kKeyRight);
        paneltest::key(g_lcdshow, panel::kKeyOk);
        paneltest::key(g_lcdshow, panel::kKeyRight);
        shot.take("editing");
        paneltest::key(g_lcdshow, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_lcdshow, kPageLcdshow); });
}
