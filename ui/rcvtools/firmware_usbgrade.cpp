#include "ui/rcvtools/firmware_usbgrade.h"
#include "ui_firmware_usbgrade.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<firmware_usbgrade> kFirmwareusbgradeRefresh(kPageFirmwareUsbgrade, g_firmware_usbgrade);
const panel::Tr5 kFirmwareusbgradeTitle{"USB升级", "USB UPDATE", "Обновление через USB", "Cập nhật qua USB", "USB昇級"};
} // namespace

firmware_usbgrade::firmware_usbgrade(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::firmware_usbgrade)
{
    ui->setupUi(this);
    language_changed();
}

firmware_usbgrade::~firmware_usbgrade() { delete ui; }

void firmware_usbgrade::language_changed() { ui->label_title->setText(panel::text(kFirmwareusbgradeTitle)); }

void firmware_usbgrade::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void firmware_usbgrade::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { menulist_back_page(); },
        [this] { return panel::mode_key_chain(this, g_firmware_usbgrade, g_linkoption, g_option); });
}

void firmware_usbgrade::menulist_back_page()
{
    panel::go_back(this, g_firmware_usbgrade, g_linkoption, kPageLinkOption);
}
