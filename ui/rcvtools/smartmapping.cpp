#include "ui/rcvtools/smartmapping.h"
#include "ui_smartmapping.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<SmartMapping> kSmartMappingRefresh(kPageSmartMapping, g_smartmapping);
const panel::Tr5 kSmartMappingTitle{
    "智能调试", "Smart debugging screen", "Интеллектуальная настройка", "Gỡ lỗi thông minh", "智能調試"};
} // namespace

SmartMapping::SmartMapping(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::SmartMapping)
{
    ui->setupUi(this);
    language_changed();
}

SmartMapping::~SmartMapping() { delete ui; }

void SmartMapping::language_changed() { ui->label_title->setText(panel::text(kSmartMappingTitle)); }

void SmartMapping::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void SmartMapping::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_smartmapping, g_option); });
}

void SmartMapping::Button_back_clicked() { panel::go_back(this, g_smartmapping, g_option, kPageOption); }
