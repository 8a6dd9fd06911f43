// The test-pattern screen: the first picture focused, Blue shown, and the
// Close button focused.
#include "tests/screenshots/scenes.h"

#include "ui/setup/test_chart.h"

VYX_SCREENSHOTS(test_chart)
{
    ModalDriver drive;
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_test_chart, panel::kKeyRight);
        paneltest::key(g_test_chart, panel::kKeyRight);
        paneltest::key(g_test_chart, panel::kKeyOk);
        shot.take("blue");
        for (int i = 0; i < 6; ++i)
            paneltest::key(g_test_chart, panel::kKeyRight);
        shot.take("close");
        paneltest::key(g_test_chart, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_test_chart, kPageTestChart); });
}
