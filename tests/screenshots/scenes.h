#pragma once
// Screenshots of the panel: each screen adds its scenes in a file of its own
// under scenes/, and the program runs every scene once per language,
// saving what the panel shows as build/screenshots/<screen>-<state>-<lang>.png.
//
//     VYX_SCREENSHOTS(outputset)
//     {
//         ModalDriver drive;
//         drive.then([&] { shot.take("menu"); paneltest::key(g_outputset, panel::kKeyBack); });
//         drive.run([] { panel::open_modal(g_outputset, kPageOutputSet); });
//     }
//
// A scene starts on a fresh simulated root with the parameter store, a
// scaler manager without its thread, every global at its start value, the
// language chosen (all five offered) and the main window shown in
// g_mainwindow (page 1). Whatever the scene leaves open is closed after it.

#include <functional>

#include "core/globals.h"
#include "tests/support/modal_driver.h"
#include "tests/support/panel.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

class VyxRamPara;

namespace shots {

class Shot {
public:
    // Saves what the panel's 320x240 screen shows now.
    virtual void take(const char* state) = 0;
    // The language of this run: panel::kChinese .. panel::kTraditional.
    virtual int language() const = 0;

protected:
    ~Shot() = default;
};

using Scene = std::function<void(Shot& shot)>;

// Types `digits` into the number field `field` as a finger does: a touch
// on the field opens the number keyboard (on the right half of the panel),
// a touch on each digit key, then on OK. With a `state`, a shot is taken
// while the keyboard shows the digits.
void type_number(QWidget* field, const char* digits, Shot* shot = nullptr, const char* state = nullptr);

// Registers the scenes of one screen (file-scope objects, by the macro).
struct Registrar {
    Registrar(const char* screen, Scene scene);
};

} // namespace shots

#define VYX_SCREENSHOTS(screen)                                                                                        \
    static void screenshots_##screen(shots::Shot& shot);                                                               \
    static const shots::Registrar screenshots_registrar_##screen(#screen, screenshots_##screen);                       \
    static void screenshots_##screen(shots::Shot& shot)
