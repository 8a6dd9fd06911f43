// Start-up: every long-lived object is created here, in a fixed order.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/shutdown.h"
#include "core/syncupdate.h"
#include "core/usbserver.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/platform.h"
#include "platform/serial.h"
#include "platform/shell.h"
#include "platform/sim_keys.h"
#include "platform/worker.h"
#include "remote/networkclient_manage.h"
#include "remote/networkmanage.h"
#include "remote/q58_wifi_config.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "scaler/c331_manage.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/vyx_keyboard.h"
#include "video_io/zevlosource.h"

namespace {

int g_quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char c = 1;
    if (::write(g_quitPipe[1], &c, 1) < 0) {
        // Already asked.
    }
}

// On a host Ctrl+C and kill end the run cleanly: the event loop returns,
// every link closes and the serial ports' far ends go away. Caught from the
// start on (the start line names kill); one that comes during the start-up
// ends the run as soon as the event loop runs.
void catchQuitSignals()
{
    if (::pipe2(g_quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

void quitOnSignals(QApplication& app)
{
    if (g_quitPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(g_quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { qApp->quit(); });
}

// One line for the person who started it on a host: where, what it serves
// and how to stop it. The first thing it says, before the start-up's own
// output, so it heads every log.
void announceHostRun()
{
    const uint32_t controlPort = ConfigEngine::configuredTcpPort();
    std::string ports;
    if (g_networkMode) {
        ports += " TCP " + std::to_string(platform::pcPort(int(controlPort)));
        if (controlPort != networkManage::kSecondPort)
            ports += " and " + std::to_string(platform::pcPort(networkManage::kSecondPort));
    }
    if (g_udpnetmode)
        ports += std::string(ports.empty() ? "" : ",") + " UDP "
                 + std::to_string(platform::pcPort(udpnetManage::kBroadcastPort)) + " and "
                 + std::to_string(platform::pcPort(udpnetManage::kSenderPort));
    std::fprintf(stderr,
                 "vyxQ58N on simulated hardware: root %s; PC ports%s; serial %s (PC) and %s (4G modem); "
                 "stop with Ctrl+C or kill %d\n",
                 platform::root().c_str(), ports.empty() ? " none" : ports.c_str(),
                 platform::simSerial().farEnd(Tz_uart_inout::kPort).c_str(),
                 platform::simSerial().farEnd(Tz_uart_inout_4G::kPort).c_str(), int(::getpid()));
}

} // namespace

int main(int argc, char* argv[])
{
    // Whole lines at a time, also into a pipe or a log file: the lines of
    // the threads stay apart and arrive while they are news.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The program's name on its main thread however it was started (an
    // emulator would leave its own there).
    platform::nameThisThread("vyxQ58N");
    platform::init(argc, argv);
    std::string busy;
    if (!platform::claimRoot(&busy)) {
        std::fprintf(stderr, "vyxQ58N: %s\n", busy.c_str());
        return 1;
    }
    if (!platform::isDevice()) {
        // A host without a display still runs, just without a window.
        if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        platform::simShell().setRebootHandler([] {
            QMetaObject::invokeMethod(qApp, [] { qApp->exit(platform::kSimRebootExitCode); }, Qt::QueuedConnection);
        });
        // The simulated scaler draws the LED screen where the panel record
        // the scaler publishes for the FPGAs puts it.
        platform::simScaler().setScreenLayoutSource([](platform::c331screen::ScreenLayout* layout) {
            VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
            if (!store)
                return false;
            // The scaler's own thread asks while the PC and the scaler write
            // the record.
            uint8_t record[platform::c331screen::ScreenLayout::kPublishedBytes];
            copyShared(record, store->ram_para + ram::kSpliceMode, sizeof record);
            *layout = platform::c331screen::ScreenLayout::fromPublished(record);
            return true;
        });
        catchQuitSignals();
        announceHostRun();
    }

    g_vyx_keys = static_cast<uint8_t>(check_hiddev());
    ConfigEngine::pInstance();
    VyxRamPara::pInstance();
    SyncUpdate::pInstance();

    QApplication app(argc, argv);
    if (!platform::isDevice()) {
        quitOnSignals(app);
        platform::installSimKeyMap(&app);
    }

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
    panel::show_window(g_mainwindow);
    g_page_focus = 0;
    panel::show_window(g_lockwindow);

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
