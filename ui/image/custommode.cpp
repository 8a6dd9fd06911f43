#include "ui/image/custommode.h"
#include "ui_custommode.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/lockwindow.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<CustomMode> kCustomModeRefresh(kPageCustomMode, g_custommode);

const panel::Tr5 kTitle{"用户模式", "User mode", "Слот", "Chế độ người dùng", "用戶模式"};
} // namespace

CustomMode::CustomMode(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::CustomMode)
{
    ui->setupUi(this);
    language_changed();
}

CustomMode::~CustomMode() { delete ui; }

void CustomMode::language_changed() { ui->label_title->setText(panel::text(kTitle)); }

void CustomMode::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void CustomMode::keyPressEvent(QKeyEvent* event) { panel::log_key_press("CustomMode", event->key()); }

void CustomMode::keyReleaseEvent(QKeyEvent* event)
{
    if (panel::key_role(event->key()) == panel::KeyRole::Back)
        leave();
    // The mode key has no effect of its own here.
    keyboard.update_usb_keyEvent(event->key());
}

void CustomMode::leave()
{
    if (!g_mode_shortcut_key.load()) {
        slot_Button_back_clicked();
        return;
    }
    g_mode_shortcut_key = 0;
    panel::close_screen(this);
    g_custommode = nullptr;
    LockWindow* standby = new LockWindow(nullptr);
    g_lockwindow = standby;
    g_page_focus = kPageLockWindow;
    standby->show();
}

void CustomMode::slot_Button_back_clicked() { panel::go_back(this, g_custommode, g_mainwindow, kPageMainWindow); }
