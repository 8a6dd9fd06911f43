// The EDID settings screen: HDMI1's card, its edit panel with the height
// focused, the refresh being changed, the number keyboard on the width,
// DVI's card with a request of its own, and its panel with the longest
// numbers typed.
#include "tests/screenshots/scenes.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/image/edidset.h"
#include "ui/shell/numberkeyboard.h"

using namespace ram;

VYX_SCREENSHOTS(edidset)
{
    uint8_t* image = VyxRamPara::pInstance()->ram_para;
    putLe16(image + edidRequest(0), 1280);
    putLe16(image + edidRequest(0) + 2, 720);
    putLe16(image + edidRequest(0) + 4, 30);

    // Where main() puts the keyboard: the right half of the panel.
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);

    auto keys = [](std::initializer_list<int> codes) {
        for (int code : codes)
            paneltest::key(g_edidset, code);
    };
    using namespace panel;
    ModalDriver drive;
    // One step: a shot lets the event loop run, which would start the next.
    drive.then([&] {
        shot.take("inputs");
        keys({kKeyOk, kKeyRight});
        shot.take("panel");
        keys({kKeyRight, kKeyOk, kKeyRight});
        shot.take("refresh");
        keys({kKeyBack, kKeyLeft, kKeyLeft});
        // The keyboard on the width runs in a loop of its own.
        ModalDriver keyboard;
        keyboard.then([&] {
            shot.take("keyboard");
            paneltest::key(g_numberkeyboard, kKeyBack);
        });
        keyboard.run([&] { keys({kKeyOk}); });
        keys({kKeyBack, kKeyLeft}); // DVI
        shot.take("dvi");
        // The longest numbers the keyboard takes, five digits, one of them
        // the largest width the field stores.
        keys({kKeyOk});
        shots::type_number(g_edidset->findChild<QWidget*>(QStringLiteral("lineEdit_W")), "32767");
        shots::type_number(
            g_edidset->findChild<QWidget*>(QStringLiteral("lineEdit_H")), "40000", &shot, "keyboard-widest");
        shot.take("widest");
        g_edidset->slot_Button_back_clicked();
    });
    drive.run([] { panel::open_modal(g_edidset, kPageEDIDset); });
}
