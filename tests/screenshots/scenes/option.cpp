// The settings menu: its first item focused, then the advanced item.
#include "tests/screenshots/scenes.h"

#include "ui/shell/mainwindow.h"
#include "ui/shell/option.h"

VYX_SCREENSHOTS(option)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("menu");
        paneltest::key(g_option, panel::kKeyLeft);
        shot.take("advanced");
        paneltest::key(g_option, panel::kKeyBack);
    });
    drive.run([] { g_mainwindow->on_option_clicked(); });
}
