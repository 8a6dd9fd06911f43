// The smart-setup screen: the wizard's three steps and its pattern picker,
// a job's ring, the scan-file pages with and without files, curing and the
// mapping switch; then the wizard's fields with the longest numbers typed.
#include "tests/screenshots/scenes.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "core/screen_hooks.h"
#include "fpga/fpga_manage.h"
#include "platform/platform.h"
#include "ui/rcvtools/smartmapping.h"

namespace {
void put_scan_file(const char* path)
{
    const QString file = platform::sysPath(QString::fromLatin1(path));
    QDir().mkpath(file.left(file.lastIndexOf(QLatin1Char('/'))));
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write("scan");
}
} // namespace

VYX_SCREENSHOTS(smartmapping)
{
    ModalDriver drive;
    // One step: a shot lets the event loop run, which would start the next.
    drive.then([&] {
        SmartMapping* s = g_smartmapping;
        auto key = [s](int code, int times = 1) {
            for (int i = 0; i < times; ++i)
                paneltest::key(s, code);
        };
        shot.take("cabinet");

        key(panel::kKeyOk); // the wizard's keys: step 1
        key(panel::kKeyLeft);
        key(panel::kKeyOk); // step 2
        key(panel::kKeyOk); // into the grid of ports 1-8
        key(panel::kKeyRight, 2);
        shot.take("port");
        key(panel::kKeyOk); // LED3
        key(panel::kKeyLeft);
        key(panel::kKeyOk); // step 3
        s->findChild<QLineEdit*>(QStringLiteral("lineEdit_line"))->setText(QStringLiteral("2"));
        s->findChild<QLineEdit*>(QStringLiteral("lineEdit_column"))->setText(QStringLiteral("3"));
        key(panel::kKeyRight, 2);
        key(panel::kKeyOk); // the picker
        key(panel::kKeyRight, 8);
        shot.take("patterns");
        key(panel::kKeyOk); // pattern 9
        shot.take("layout");
        key(panel::kKeyRight, 4);
        key(panel::kKeyOk); // Send: job 1 and its ring
        screen_hooks::post(ScreenValueHook::SmartMappingProgress, 45);
        QCoreApplication::processEvents();
        shot.take("sending");
        screen_hooks::post(ScreenValueHook::SmartMappingProgress, 100);
        QCoreApplication::processEvents();
        g_send_para.job = 0;
        key(panel::kKeyBack, 3); // step 2, step 1, the menu

        s->on_Button_loadscan_clicked();
        s->on_Button_wlan6_clicked();
        shot.take("scan-port");
        s->on_Button_next_5_clicked();
        shot.take("scan-none");
        for (const char* path : {"/data/smartmapping/P3.9_cabinet_128x128.tzfile",
                 "/data/smartmapping/P2.6_indoor.tzfile", "/data/smartmapping/stage_left.tzfile",
                 "/mnt/usb1/P4.8_outdoor.tzfile"})
            put_scan_file(path);
        s->on_Button_next_5_clicked();
        s->menulist_loadscan_page2_init();
        shot.take("scan-files");
        s->vyx_Button_next_clicked();
        shot.take("scan-files-usb");

        s->on_Button_paraweld_clicked();
        shot.take("curing");
        s->on_Button_mapping_clicked();
        shot.take("mapping");
        s->Button_back_clicked();
    });
    drive.run([] { panel::open_modal(g_smartmapping, kPageSmartMapping); });

    // The longest numbers the keyboard takes: five digits for a cabinet's
    // size and an offset, three for rows and columns.
    ModalDriver widest;
    widest.then([&] {
        SmartMapping* s = g_smartmapping;
        auto field = [s](const char* name) { return s->findChild<QWidget*>(QLatin1String(name)); };
        shots::type_number(field("lineEdit_X"), "65535");
        shots::type_number(field("lineEdit_Y"), "40000", &shot, "keyboard-widest");
        shot.take("cabinet-widest");
        s->on_Button_next_clicked();
        s->on_Button_next_2_clicked();
        shots::type_number(field("lineEdit_line"), "255");
        shots::type_number(field("lineEdit_column"), "255");
        shots::type_number(field("lineEdit_horzion"), "65535");
        shots::type_number(field("lineEdit_vert"), "40000");
        shot.take("layout-widest");
        s->Button_back_clicked();
    });
    widest.run([] { panel::open_modal(g_smartmapping, kPageSmartMapping); });
}
