// The advanced menu: the recovery button grey (nothing stored) and focused,
// then usable once a recovery file is stored, and the number keyboard
// asking for the access code of the ageing monitor, and with the longest
// code typed.
#include "tests/screenshots/scenes.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include "fpga/fpga_manage.h"
#include "platform/platform.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"

VYX_SCREENSHOTS(advancedoption)
{
    // The FPGA manager's reader counts the stored recovery files.
    fpga_manage::pInstance();
    const QString dir = QString::fromStdString(platform::sysPath("/data/rcvrecovery"));
    QDir().mkpath(dir);
    // Where the program places the keyboard: the right half of the panel.
    const QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(at.x() + 160, at.y(), 160, 240);
    // One step: a shot delivers every queued event, a later step included.
    ModalDriver drive;
    drive.then([&] {
        shot.take("menu");
        paneltest::key(g_advancedoption, panel::kKeyRight);
        paneltest::key(g_advancedoption, panel::kKeyRight);
        shot.take("recovery-grey");
        QFile file(dir + QStringLiteral("/TZFX"));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        file.close();
        g_advancedoption->language_changed();
        shot.take("recovery");
        paneltest::key(g_advancedoption, panel::kKeyRight);
        paneltest::key(g_advancedoption, panel::kKeyRight);
        // The keyboard runs modally: its shot is taken from inside its run.
        QTimer::singleShot(0, g_numberkeyboard, [&] {
            shot.take("access-code");
            // The longest code the keyboard takes, eight digits.
            for (const char* name : {"Button3", "Button9", "Button5", "Button8", "Button3", "Button9", "Button5",
                     "Button8"})
                paneltest::touch(g_numberkeyboard->findChild<QWidget*>(QLatin1String(name)));
            shot.take("access-code-widest");
            paneltest::key(g_numberkeyboard, panel::kKeyBack);
        });
        paneltest::key(g_advancedoption, panel::kKeyOk);
        paneltest::key(g_advancedoption, panel::kKeyBack);
    });
    drive.run([] { panel::open_modal(g_advancedoption, kPageAdvancedOption); });
}
