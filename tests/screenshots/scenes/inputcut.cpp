// The input crop screen with three crops of HDMI1, one under a display
// name: the input row, a crop tile focused, the add button focused, the add
// form, the edit form and the number keyboard over it, the edit form with
// the longest numbers typed, and page 2 of an input with seven tiles.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/safe_file.h"
#include "ui/image/alias.h"
#include "ui/image/inputcut.h"
#include "ui/shell/numberkeyboard.h"

#include <cstring>

using namespace ram;

VYX_SCREENSHOTS(inputcut)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    auto put = [store](int addr, uint16_t v) { putLe16(store->ram_para + addr, v); };
    put(inputTiming(1) + kTimingWidth, 1920);
    put(inputTiming(1) + kTimingHeight, 1080);
    put(inputTiming(1) + kTimingRate, 60);
    auto crop = [&](int e, int source, int number, int x, int w, int h) {
        put(cropEntry(e) + kCropId, uint16_t(0x8000 | (number - 1) << 8 | source));
        put(cropEntry(e) + kCropX, uint16_t(x));
        put(cropEntry(e) + kCropY, 0);
        put(cropEntry(e) + kCropW, uint16_t(w));
        put(cropEntry(e) + kCropH, uint16_t(h));
    };
    crop(0, 1, 1, 0, 960, 1080);
    crop(1, 1, 2, 960, 960, 1080);
    crop(2, 1, 3, 480, 960, 540);
    for (int n = 1; n <= 6; ++n)
        crop(2 + n, 2, n, 100 * n, 640, 360);
    const char* names = R"({"namelist":{"crop":[{"id":2,"valid":"on","name":"Centre"}]}})";
    platform::replaceFile(kAliasFile, names, std::strlen(names));

    // Where main() puts the keyboard: the right half of the panel.
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);

    auto keys = [](std::initializer_list<int> codes) {
        for (int code : codes)
            paneltest::key(g_inputcut, code);
    };
    using namespace panel;
    ModalDriver drive;
    // One step: a shot lets the event loop run, which would start the next.
    drive.then([&] {
        shot.take("inputs");
        keys({kKeyOk, kKeyRight, kKeyRight});
        shot.take("tiles");
        keys({kKeyLeft, kKeyLeft}); // the add button
        shot.take("plus");
        keys({kKeyOk});
        shot.take("add");
        keys({kKeyBack, kKeyBack, kKeyRight, kKeyOk, kKeyLeft}); // HDMI2, six crops: page 2
        shot.take("page2");
        keys({kKeyBack, kKeyLeft, kKeyOk, kKeyRight, kKeyRight, kKeyOk});
        shot.take("edit");
        keys({kKeyRight, kKeyRight});
        // The keyboard on W runs in a loop of its own.
        ModalDriver keyboard;
        keyboard.then([&] {
            shot.take("keyboard");
            paneltest::key(g_numberkeyboard, kKeyBack);
        });
        keyboard.run([&] { keys({kKeyOk}); });
        // The longest numbers the keyboard takes, five digits, in every
        // field: the digits share one width, so no other five are wider.
        const std::pair<const char*, const char*> widest[]
            = {{"lineEdit_X", "40000"}, {"lineEdit_Y", "65535"}, {"lineEdit_W", "65535"}, {"lineEdit_H", "40000"}};
        for (const auto& field : widest)
            shots::type_number(g_inputcut->findChild<QWidget*>(QLatin1String(field.first)), field.second);
        shot.take("widest");
        g_inputcut->slot_Button_back_clicked();
    });
    drive.run([] { panel::open_modal(g_inputcut, kPageInputCut); });
}
