// The USB upgrade screen: no stick, its packages on two pages, an upgrade
// started, the worker's dialog over it, the upgrade over, and one that
// failed on a package it could not read.
#include "tests/screenshots/scenes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include "core/change_codes.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "fpga/upgrade_package.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "ui/rcvtools/firmware_usbgrade.h"
#include "video_io/zevlosource.h"

namespace {

// A package with no child, or (damaged) one too short for its header.
void firmwareusbgradePackage(const QString& name, bool damaged = false)
{
    const QString dir = platform::sysPath(QStringLiteral("/mnt/usb1/VYX-Q71"));
    QDir().mkpath(dir);
    QFile f(dir + '/' + name);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray(damaged ? 7 : int(upgrade::kHeaderSize), '\0'));
}

void firmwareusbgradeRun(fpga_manage* worker)
{
    while (g_usb_grade.load() != 0) {
        worker->usb_upgrade_manage_deal(nullptr);
        QCoreApplication::processEvents();
    }
}

} // namespace

VYX_SCREENSHOTS(firmware_usbgrade)
{
    platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 7)));
    g_usb_grade_path = QStringLiteral("VYX-Q71");
    zevlosource::pInstance();
    fpga_manage* worker = fpga_manage::pInstance();
    ModalDriver drive;
    drive.then([&] {
        firmware_usbgrade* screen = g_firmware_usbgrade;
        shot.take("empty");
        for (const char* name : {"Q58_app.VYX", "Q58_fpga.VYX", "font.VYXZK", "Q58_osd.VYX", "spare.VYX"})
            firmwareusbgradePackage(QLatin1String(name));
        screen->syncUpdate(kChangeStorageReady); // without the notice over it
        shot.take("list");
        screen->vyx_Button_next_clicked();
        shot.take("page2");
        screen->vyx_Button_previous_clicked();

        paneltest::key(screen, panel::kKeyOk);
        screen->findChild<QPushButton*>(QStringLiteral("Button_grade"))->click();
        shot.take("started");
        // The worker's pass, one step a turn; the dialog covers the panel
        // until the end.
        worker->usb_upgrade_manage_deal(nullptr);
        QCoreApplication::processEvents();
        shot.take("updating");
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 6, 30)));
        firmwareusbgradeRun(worker);
        shot.take("over");

        // Run again over a package the stick lost part of.
        firmwareusbgradePackage(QStringLiteral("Q58_fpga.VYX"), true);
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 5, 7)));
        g_send_para.step = 0;
        g_usb_grade = 1;
        worker->usb_upgrade_manage_deal(nullptr);
        platform::setClockForTest(QDateTime(QDate(2025, 3, 7), QTime(9, 6, 30)));
        firmwareusbgradeRun(worker);
        shot.take("failed");
        paneltest::key(screen, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_firmware_usbgrade, kPageFirmwareUsbgrade); });
    platform::setClockForTest(QDateTime());
}
