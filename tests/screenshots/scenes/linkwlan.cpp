// The Ethernet address: as opened, the number keyboard on the gateway's
// last part, the new gateway typed with Apply focused, and the longest
// parts typed.
#include "tests/screenshots/scenes.h"

#include "ui/setup/linkwlan.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"

VYX_SCREENSHOTS(linkwlan)
{
    g_str_ip = QStringLiteral("192.168.0.199");
    g_srt_mask = QStringLiteral("255.255.255.0");
    g_str_gateway = QStringLiteral("192.168.0.1");
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);
    auto press = [](QWidget* w, int code, int times) {
        for (int i = 0; i < times; ++i)
            paneltest::key(w, code);
    };
    ModalDriver first;
    first.then([&] {
        shot.take("open");
        paneltest::key(g_linkwlan, panel::kKeyBack);
    });
    first.run([] { panel::open_modal(g_linkwlan, kPageLinkwlan); });

    // A shot runs the event loop, which would start the next step: the
    // keyboard's step is the last one queued.
    ModalDriver drive;
    drive
        .then([&] {
            press(g_linkwlan, panel::kKeyRight, 11); // lineEditGate4
            paneltest::key(g_linkwlan, panel::kKeyOk);
            // The keyboard has closed: Apply is next.
            paneltest::key(g_linkwlan, panel::kKeyRight);
            shot.take("changed");
            paneltest::key(g_linkwlan, panel::kKeyBack);
        })
        .then([&] {
            // On the keyboard: 2, 5, 4 (its ring starts on 1).
            press(g_numberkeyboard, panel::kKeyRight, 1);
            paneltest::key(g_numberkeyboard, panel::kKeyOk);
            press(g_numberkeyboard, panel::kKeyRight, 3);
            paneltest::key(g_numberkeyboard, panel::kKeyOk);
            press(g_numberkeyboard, panel::kKeyLeft, 1);
            paneltest::key(g_numberkeyboard, panel::kKeyOk);
            shot.take("keyboard");
            press(g_numberkeyboard, panel::kKeyLeft, 4); // round to its OK
            paneltest::key(g_numberkeyboard, panel::kKeyOk);
        });
    drive.run([] { panel::open_modal(g_linkwlan, kPageLinkwlan); });

    // The longest parts the keyboard takes, three digits, in a row's first,
    // middle and last fields (each drawn with borders of its own).
    ModalDriver widest;
    widest.then([&] {
        for (const char* name : {"lineEditIp1", "lineEditIp2", "lineEditIp3", "lineEditIp4"})
            shots::type_number(g_linkwlan->findChild<QWidget*>(QLatin1String(name)), "255");
        shot.take("widest");
        paneltest::key(g_linkwlan, panel::kKeyBack);
    });
    widest.run([] { panel::open_modal(g_linkwlan, kPageLinkwlan); });
}
