#include "ui/shell/advancedoption.h"
#include "ui_advancedoption.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/rcvtools/rcv_recovery.h"
#include "ui/setup/factory.h"
#include "ui/setup/factoryage.h"
#include "ui/setup/lcdshow.h"
#include "ui/setup/othersetup.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<AdvancedOption> kAdvancedOptionRefresh(kPageAdvancedOption, g_advancedoption);
const panel::Tr5 kAdvancedOptionTitle{"高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"};
const panel::Tr5 kAdvancedOptionItems[] = {
    {"液晶显示", "LCD display", "ЖК\nдисплей", "Màn hình\nLCD", "液晶顯示"},
    {"其他设置", "Others", "Другие\nнастройки", "Khôi phục\ncài đăt gốc", "其他設置"},
    {"接收卡自恢复", "Rcv\nself-recovery", "Самовосст\nановление", "Thẻ nhận tự\nphục hồi", "接收卡自恢複"},
    {"工厂设置", "Factory", "Системные\nнастройки", "Khôi phục\ncàiđăt gốc", "工廠設置"},
    {"工厂老化", "Aging", "Сброс\nнастроек", "Lão hóa\nnhà máy", "工廠老化"},
};
} // namespace

AdvancedOption::AdvancedOption(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::AdvancedOption)
{
    ui->setupUi(this);
    language_changed();
    menulist_init();
}

AdvancedOption::~AdvancedOption() { delete ui; }

void AdvancedOption::language_changed()
{
    ui->label_title->setText(panel::text(kAdvancedOptionTitle));
    ui->Button_LCDshow->setText(panel::text(kAdvancedOptionItems[0]));
    ui->Button_other->setText(panel::text(kAdvancedOptionItems[1]));
    ui->Button_rcv_recovery->setText(panel::text(kAdvancedOptionItems[2]));
    ui->Button_factory->setText(panel::text(kAdvancedOptionItems[3]));
    ui->Button_age->setText(panel::text(kAdvancedOptionItems[4]));
}

void AdvancedOption::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void AdvancedOption::menulist_init()
{
    ring.set({ui->Button_LCDshow, ui->Button_other, ui->Button_rcv_recovery, ui->Button_factory, ui->Button_age},
        style::kMenuNormal, style::kMenuFocused);
    ring.start(0);
}

void AdvancedOption::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &ring, [this](int item) { open_item(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_advancedoption, g_option); });
}

void AdvancedOption::slot_Button_back_clicked() { panel::go_back(this, g_advancedoption, g_option, kPageOption); }

void AdvancedOption::open_item(int item)
{
    static void (AdvancedOption::*const kOpen[])() = {
        &AdvancedOption::on_Button_LCDshow_clicked,
        &AdvancedOption::on_Button_other_clicked,
        &AdvancedOption::on_Button_rcv_recovery_clicked,
        &AdvancedOption::on_Button_factory_clicked,
        &AdvancedOption::on_Button_age_clicked,
    };
    if (item >= 0 && item < int(sizeof kOpen / sizeof kOpen[0]))
        (this->*kOpen[item])();
}

void AdvancedOption::on_Button_LCDshow_clicked() { panel::open_modal(g_lcdshow, kPageLcdshow); }

void AdvancedOption::on_Button_other_clicked() { panel::open_modal(g_othersetup, kPageOthersetup); }

void AdvancedOption::on_Button_rcv_recovery_clicked() { panel::open_modal(g_rcv_recovery, kPageRcvRecovery); }

void AdvancedOption::on_Button_factory_clicked() { panel::open_modal(g_factory, kPageFactory); }

void AdvancedOption::on_Button_age_clicked() { panel::open_modal(g_factoryage, kPageFactoryage); }
