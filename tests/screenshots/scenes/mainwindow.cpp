// The main window: its menu, the tools column, and the user-mode grid open
// for calling and for saving.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/shell/mainwindow.h"

VYX_SCREENSHOTS(mainwindow)
{
    MainWindow* window = g_mainwindow;
    shot.take("menu");

    paneltest::key(window, panel::kKeyLeft);
    paneltest::key(window, panel::kKeyOk);
    shot.take("tools");

    // Slots 1, 3 and 6 saved; slot 3 is the mode in use.
    VyxRamPara* store = VyxRamPara::pInstance();
    for (int slot : {0, 2, 5})
        fillShared(store->user_mode[slot], ram::kMarkerSaved, 2);
    putLe16(store->ram_para + ram::kCurrentMode, 3);
    paneltest::key(window, panel::kKeyLeft);
    paneltest::key(window, panel::kKeyLeft);
    paneltest::key(window, panel::kKeyOk);
    paneltest::key(window, panel::kKeyRight);
    shot.take("call-grid");

    paneltest::key(window, panel::kKeyBack);
    paneltest::key(window, panel::kKeyRight);
    paneltest::key(window, panel::kKeyOk);
    for (int i = 0; i < 4; ++i)
        paneltest::key(window, panel::kKeyRight);
    shot.take("save-grid");
}
