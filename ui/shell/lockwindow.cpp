#include "ui/shell/lockwindow.h"
#include "ui_lockwindow.h"

#include <QEvent>
#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<LockWindow> kLockWindowRefresh(kPageLockWindow, g_lockwindow);
} // namespace

LockWindow::LockWindow(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LockWindow)
{
    ui->setupUi(this);
    ui->main_Button->hide();
    ui->widget->installEventFilter(this);
}

LockWindow::~LockWindow()
{
    // A newer standby screen may hold the pointer by now.
    if (g_lockwindow == this)
        g_lockwindow = nullptr;
    delete ui;
}

void LockWindow::syncUpdate() { VyxRamPara::pInstance()->VyxLanguageChanged(); }

bool LockWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->widget && event->type() == QEvent::MouseButtonRelease) {
        leave();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void LockWindow::on_main_Button_clicked() { leave(); }

void LockWindow::leave()
{
    panel::close_screen(this);
    if (g_lockwindow == this)
        g_lockwindow = nullptr;
    g_page_focus = kPageMainWindow;
    if (g_mainwindow)
        g_mainwindow->language_changed();
}

void LockWindow::keyPressEvent(QKeyEvent* event)
{
    // No key closes the screen but through leave().
    panel::log_key_press("LockWindow", event->key());
}

void LockWindow::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr,
        [this](int) {
            leave();
            if (g_mainwindow)
                g_mainwindow->show();
        },
        nullptr, [this] { return panel::mode_key_chain(this, g_lockwindow); });
}
