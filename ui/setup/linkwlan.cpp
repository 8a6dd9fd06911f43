#include "ui/setup/linkwlan.h"
#include "ui_linkwlan.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<linkwlan> kLinkwlanRefresh(kPageLinkwlan, g_linkwlan);
const panel::Tr5 kLinkwlanTitle{"网口设置", "Net connect", "Сетевое подключение", "Kết nối mạng", "網口設置"};
} // namespace

linkwlan::linkwlan(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::linkwlan)
{
    ui->setupUi(this);
    language_changed();
}

linkwlan::~linkwlan() { delete ui; }

void linkwlan::language_changed() { ui->label_title->setText(panel::text(kLinkwlanTitle)); }

void linkwlan::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void linkwlan::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_linkwlan, g_linkoption, g_option); });
}

void linkwlan::slot_Button_back_clicked() { panel::go_back(this, g_linkwlan, g_linkoption, kPageLinkOption); }
