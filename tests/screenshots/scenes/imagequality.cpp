// The image-quality menu.
#include "tests/screenshots/scenes.h"

#include "ui/shell/imagequality.h"

VYX_SCREENSHOTS(imagequality)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("menu");
        paneltest::key(g_imagequality, panel::kKeyRight);
        shot.take("temperature");
        paneltest::key(g_imagequality, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_imagequality, kPageImageQuality); });
}
