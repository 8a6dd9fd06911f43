#include "ui/setup/factory.h"
#include "ui_factory.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<factory> kFactoryRefresh(kPageFactory, g_factory);
const panel::Tr5 kFactoryTitle{"工厂设置", "Factory setup", "Заводские настройки", "Cài đặt gốc", "工廠設置"};
} // namespace

factory::factory(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::factory)
{
    ui->setupUi(this);
    language_changed();
}

factory::~factory() { delete ui; }

void factory::language_changed() { ui->label_title->setText(panel::text(kFactoryTitle)); }

void factory::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void factory::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_factory, g_advancedoption, g_option); });
}

void factory::slot_Button_back_clicked() { panel::go_back(this, g_factory, g_advancedoption, kPageAdvancedOption); }
