// The colour-temperature screen: the type focused, the type being chosen,
// and the red gain being stepped.
#include "tests/screenshots/scenes.h"

#include "ui/setup/temperature.h"

VYX_SCREENSHOTS(temperature)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_temperature, panel::kKeyOk);
        paneltest::key(g_temperature, panel::kKeyRight);
        shot.take("editing-type");
        paneltest::key(g_temperature, panel::kKeyBack);
        paneltest::key(g_temperature, panel::kKeyRight);
        paneltest::key(g_temperature, panel::kKeyOk);
        shot.take("editing-gain");
        paneltest::key(g_temperature, panel::kKeyBack);
        paneltest::key(g_temperature, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_temperature, kPageTemperature); });
}
