// The LED-size screen: the width field focused, Apply focused, and the
// number keyboard open on the width with a new value typed (editing) and
// with the longest number it takes.
#include "tests/screenshots/scenes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "ui/setup/ledset.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"

VYX_SCREENSHOTS(ledset)
{
    // Where main() puts the keyboard: the right half of the panel.
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);
    ModalDriver drive;
    // One step: a shot lets the event loop run, which would start the next.
    drive.then([&] {
        shot.take("idle");
        paneltest::key(g_ledset, panel::kKeyRight);
        paneltest::key(g_ledset, panel::kKeyRight);
        shot.take("apply-focused");
        paneltest::key(g_ledset, panel::kKeyLeft);
        paneltest::key(g_ledset, panel::kKeyLeft);
        // Runs inside the keyboard's own loop, which OK on the field starts.
        QTimer::singleShot(0, g_numberkeyboard, [&] {
            g_numberkeyboard->findChild<QLineEdit*>("lineEdit")->setText("3840");
            shot.take("editing");
            g_numberkeyboard->findChild<QPushButton*>("Button_ok")->click();
        });
        paneltest::key(g_ledset, panel::kKeyOk);
        // The longest number the keyboard takes for a side, five digits,
        // on the keyboard (the screen then holds it to the largest side).
        shots::type_number(g_ledset->findChild<QWidget*>(QStringLiteral("lineEdit_ledw")), "65535", &shot,
            "keyboard-widest");
        paneltest::key(g_ledset, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_ledset, kPageLedset); });
}
