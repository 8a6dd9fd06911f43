#include "ui/setup/ledset.h"
#include "ui_ledset.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<ledset> kLedsetRefresh(kPageLedset, g_ledset);
const panel::Tr5 kLedsetTitle{"LED设置", "LED Setting", "Настройки LED", "Cài đặt LED", "LED設置"};
} // namespace

ledset::ledset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::ledset)
{
    ui->setupUi(this);
    language_changed();
}

ledset::~ledset() { delete ui; }

void ledset::language_changed() { ui->label_title->setText(panel::text(kLedsetTitle)); }

void ledset::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void ledset::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_ledset, g_outputset, g_option); });
}

void ledset::slot_Button_back_clicked() { panel::go_back(this, g_ledset, g_outputset, kPageOutputSet); }
