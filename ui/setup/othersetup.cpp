#include "ui/setup/othersetup.h"
#include "ui_othersetup.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<othersetup> kOthersetupRefresh(kPageOthersetup, g_othersetup);
const panel::Tr5 kOthersetupTitle{"其他设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其他設置"};
} // namespace

othersetup::othersetup(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::othersetup)
{
    ui->setupUi(this);
    language_changed();
}

othersetup::~othersetup() { delete ui; }

void othersetup::language_changed() { ui->label_title->setText(panel::text(kOthersetupTitle)); }

void othersetup::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void othersetup::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_othersetup, g_advancedoption, g_option); });
}

void othersetup::slot_Button_back_clicked()
{
    panel::go_back(this, g_othersetup, g_advancedoption, kPageAdvancedOption);
}
