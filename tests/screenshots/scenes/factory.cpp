// The factory screen: the language row focused, the language being chosen
// (edited), and a reset row focused; the font lines with the Chinese fonts
// found and the ASCII fonts missing.
#include "tests/screenshots/scenes.h"

#include "scaler/c331_manage.h"
#include "ui/setup/factory.h"

VYX_SCREENSHOTS(factory)
{
    if (c331_manage* scaler = c331_manage::p_c331_manage)
        scaler->font_status = 0x5;
    ModalDriver drive;
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_factory, panel::kKeyOk);
        paneltest::key(g_factory, panel::kKeyRight);
        shot.take("editing");
        paneltest::key(g_factory, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_factory, kPageFactory); });
    ModalDriver again;
    again.then([&] {
        paneltest::key(g_factory, panel::kKeyRight);
        paneltest::key(g_factory, panel::kKeyRight);
        shot.take("reset-focused");
        paneltest::key(g_factory, panel::kKeyBack);
    });
    again.run([] { panel::open_modal(g_factory, kPageFactory); });
}
