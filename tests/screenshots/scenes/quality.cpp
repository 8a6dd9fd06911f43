// The picture-quality screen: brightness focused, brightness being stepped
// (edited), and the reset row focused.
#include "tests/screenshots/scenes.h"

#include "ui/setup/quality.h"

VYX_SCREENSHOTS(quality)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_quality, panel::kKeyOk);
        paneltest::key(g_quality, panel::kKeyLeft);
        shot.take("editing");
        paneltest::key(g_quality, panel::kKeyBack);
        paneltest::key(g_quality, panel::kKeyLeft);
        shot.take("reset-focused");
        paneltest::key(g_quality, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_quality, kPageQuality); });
}
