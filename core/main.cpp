// Start-up: every long-lived object is created here, in a fixed order.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/shutdown.h"
#include "core/syncupdate.h"
#include "core/usbserver.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "remote/networkclient_manage.h"
#include "remote/networkmanage.h"
#include "remote/q58_wifi_config.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "scaler/c331_manage.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/vyx_keyboard.h"
#include "video_io/zevlosource.h"

int main(int argc, char* argv[])
{
    platform::init(argc, argv);
    if (!platform::isDevice()) {
        // A host without a display still runs, just without a window.
        if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        platform::simShell().setRebootHandler([] {
            QMetaObject::invokeMethod(qApp, [] { qApp->exit(platform::kSimRebootExitCode); }, Qt::QueuedConnection);
        });
    }

    g_vyx_keys = static_cast<uint8_t>(check_hiddev());
    ConfigEngine::pInstance();
    VyxRamPara::pInstance();
    SyncUpdate::pInstance();

    QApplication app(argc, argv);

    g_mainwindow = new MainWindow(nullptr);
    g_timer = new QTimer();
    QObject::connect(g_timer, &QTimer::timeout, g_mainwindow, &MainWindow::slot_update_timer_ticks);
    g_timer->start(10);

    zevlosource::pInstance();
    fpga_manage::pInstance();
    c331_manage::pInstance();
    fpga_manage::pInstance()->initialize_start();
    zevlosource::pInstance()->initialize();

    platform::pause_ms(4000);

    g_lockwindow = new LockWindow(nullptr);
    g_mainwindow->show();
    g_page_focus = 0;
    g_lockwindow->show();

    QPoint at = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(QRect(QPoint(at.x() + 160, at.y()), QPoint(at.x() + 319, at.y() + 239)));

    QObject::connect(VyxRamPara::pInstance(), &VyxRamPara::sig_update_para, SyncUpdate::pInstance(),
                     &SyncUpdate::para_sync);
    if (g_vyx_keys)
        SyncUpdate::pInstance()->update_usb_keyLed();

    QObject::connect(UsbServer::pInstance(), &UsbServer::sig_usb_update, SyncUpdate::pInstance(),
                     &SyncUpdate::para_sync);

    Tz_uart_inout::pInstance();
    networkManage::pInstance();
    Tz_uart_inout_4G::pInstance();
    networkclient_Manage::pInstance();
    Q58_WIFI_CONFIG::pInstance();
    udpnetManage::pInstance();

    int rc = app.exec();
    if (!platform::isDevice())
        stopAllForExit();
    return rc;
}
