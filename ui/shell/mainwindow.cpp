#include "ui/shell/mainwindow.h"
#include "ui_mainwindow.h"

#include "core/globals.h"
#include "core/screen_hooks.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/tip.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    g_numberkeyboard = new NumberKeyboard(nullptr);
    g_numberkeyboard->setWindowFlags(g_numberkeyboard->windowFlags() | Qt::FramelessWindowHint);
    g_tip = new TIP(nullptr);
}

MainWindow::~MainWindow() { delete ui; }

void MainWindow::language_changed() {}

void MainWindow::update_start() { screen_hooks::run(ScreenHook::FirmwareUpdateStart); }

void MainWindow::update_over() { screen_hooks::run(ScreenHook::FirmwareUpdateOver); }

namespace {
void postToMainWindow(void (MainWindow::*call)())
{
    MainWindow* window = g_mainwindow;
    if (window)
        QMetaObject::invokeMethod(window, [window, call] { (window->*call)(); }, Qt::QueuedConnection);
}
} // namespace

void MainWindow::post_update_start() { postToMainWindow(&MainWindow::update_start); }

void MainWindow::post_update_over() { postToMainWindow(&MainWindow::update_over); }

void MainWindow::slot_update_timer_ticks()
{
    G_timeTicks.fetch_add(1, std::memory_order_relaxed);
    if (g_update_flag && g_move_update)
        g_move_update->update_time_deal();
    if (g_tip_flag && g_tip)
        g_tip->tip_outtime_deal();

    // The USB watcher waits 10 s after start (the stamp is never set).
    if (g_delay_usbserver == 0 && Utils::getTimeSpace(g_delay_usbserver_ticks) >= 1000)
        g_delay_usbserver = 1;

    if (g_app_reset_flag && !m_rebootSent && Utils::getTimeSpace(G_reboot_tickTicks) >= 300) {
        m_rebootSent = true;
        Utils::system_mutex("reboot");
    }

    if (fpga_manage::p_fpga_manage)
        fpga_manage::p_fpga_manage->get_fpga_status();
}
