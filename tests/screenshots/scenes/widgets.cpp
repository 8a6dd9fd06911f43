// The shared widgets: the number keyboard over the main window, each
// pop-up notice, the progress ring over the smart-setup screen and the
// firmware-update dialog.
#include "tests/screenshots/scenes.h"

#include "ui/rcvtools/firmwareupdate.h"
#include "ui/rcvtools/smartmapping.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/tip.h"

VYX_SCREENSHOTS(numberkeyboard)
{
    // Where main() puts it: the right half of the panel.
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);
    g_numberkeyboard->label_show(QStringLiteral("W"), QStringLiteral("1920"));
    ModalDriver drive;
    // One step: a shot lets the event loop run, which would start the next.
    drive.then([&] {
        shot.take("ready");
        for (int i = 0; i < 4; ++i)
            paneltest::key(g_numberkeyboard, panel::kKeyRight);
        paneltest::key(g_numberkeyboard, panel::kKeyOk);
        for (int i = 0; i < 5; ++i)
            paneltest::key(g_numberkeyboard, panel::kKeyRight);
        paneltest::key(g_numberkeyboard, panel::kKeyOk);
        shot.take("typed");
        for (int i = 0; i < 4; ++i)
            paneltest::key(g_numberkeyboard, panel::kKeyRight);
        shot.take("ok-focused");
        paneltest::key(g_numberkeyboard, panel::kKeyBack);
    });
    drive.run([] { g_numberkeyboard->exec(); });
}

VYX_SCREENSHOTS(tip)
{
    const std::pair<int, const char*> kinds[] = {{kNoticeDone, "done"}, {kNoticeUsbConnected, "usb-in"},
        {kNoticeUsbUnplugged, "usb-out"}, {kNoticeReading, "reading"}, {kNoticeCardJobFailed, "card-job-failed"}};
    for (const auto& kind : kinds) {
        ModalDriver drive;
        drive.then([&] {
            shot.take(kind.second);
            paneltest::ticks(300);
        });
        drive.run([&] { g_tip->tip_create(kind.first); });
    }
}

VYX_SCREENSHOTS(qroundprogressbar)
{
    ModalDriver drive;
    drive.then([&] {
        QRoundProgressBar::create_qround_bar(g_smartmapping);
        shot.take("0");
        g_qround_bar->para_sync(45);
        shot.take("45");
        g_qround_bar->para_sync(99);
        shot.take("99");
        g_qround_bar->para_sync(100);
        paneltest::key(g_smartmapping, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_smartmapping, kPageSmartMapping); });
}

VYX_SCREENSHOTS(firmwareupdate)
{
    firmware_update_start();
    g_move_update->move(g_mainwindow->pos());
    shot.take("start");
    g_update_flag = 1;
    paneltest::ticks(100 - int(G_timeTicks.load() % 100));
    shot.take("dot");
    paneltest::ticks(256);
    shot.take("dots3");
    g_update_flag = 0;
    firmware_update_over();
}
