#include "ui/shell/linkoption.h"
#include "ui_linkoption.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/rcvtools/firmware_usbgrade.h"
#include "ui/setup/linkcom.h"
#include "ui/setup/linkwlan.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"
#include "ui/shell/settings_menus.h"

namespace {
const panel::PageRefresh<LinkOption> kLinkOptionRefresh(kPageLinkOption, g_linkoption);
const panel::Tr5 kLinkOptionTitle{"通讯设置", "Communication", "Подключение", "Cài đặt giao tiếp", "通訊設置"};
const panel::Tr5 kLinkOptionItems[] = {
    {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng\n nối tiếp", "串口連接"},
    {"网口设置", "Net connect", "Сетевое по\nдключение", "Cài đặt\ncổng mạng", "網口設置"},
    {"USB升级", "USB UPDATE", "Обновление\nчерез USB", "Sử dụng ổ USB\nđể cập nhập", "USB昇級"},
};
} // namespace

LinkOption::LinkOption(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::LinkOption)
{
    ui->setupUi(this);
    // The buttons' names do not match their openers': connected by hand, so
    // that a touch opens the screens as on the other menus.
    connect(ui->Button_com, &QPushButton::clicked, this, &LinkOption::on_Button_linkcom_clicked);
    connect(ui->Button_wlan, &QPushButton::clicked, this, &LinkOption::on_Button_linkwlan_clicked);
    connect(ui->Button_usb, &QPushButton::clicked, this, &LinkOption::on_Button_firmware_usbgrade_clicked);
    para_init();
    language_changed();
    menulist_init();
}

LinkOption::~LinkOption() { delete ui; }

void LinkOption::language_changed()
{
    ui->label_title->setText(panel::text(kLinkOptionTitle));
    settings_menus::set_fitting_text(ui->Button_com, panel::text(kLinkOptionItems[0]));
    settings_menus::set_fitting_text(ui->Button_wlan, panel::text(kLinkOptionItems[1]));
    settings_menus::set_fitting_text(ui->Button_usb, panel::text(kLinkOptionItems[2]));
}

void LinkOption::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void LinkOption::menulist_init()
{
    ring.set({ui->Button_com, ui->Button_wlan, ui->Button_usb}, style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void LinkOption::keyReleaseEvent(QKeyEvent* event)
{
    settings_menus::log_key_release("LinkOption", event->key(), ui_select);
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_linkoption, g_option); });
}

void LinkOption::slot_Button_back_clicked() { panel::go_back(this, g_linkoption, g_option, kPageOption); }

void LinkOption::open_item(int item)
{
    static void (LinkOption::*const kOpen[])() = {
        &LinkOption::on_Button_linkcom_clicked,
        &LinkOption::on_Button_linkwlan_clicked,
        &LinkOption::on_Button_firmware_usbgrade_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void LinkOption::on_Button_linkcom_clicked() { panel::open_modal(g_linkcom, kPageLinkcom); }

void LinkOption::on_Button_linkwlan_clicked() { panel::open_modal(g_linkwlan, kPageLinkwlan); }

void LinkOption::on_Button_firmware_usbgrade_clicked()
{
    panel::open_modal(g_firmware_usbgrade, kPageFirmwareUsbgrade);
}
