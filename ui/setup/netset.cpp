#include "ui/setup/netset.h"
#include "ui_netset.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<netset> kNetsetRefresh(kPageNetset, g_netset);
const panel::Tr5 kNetsetTitle{"网口输出", "Port output", "Выходные порты", "Cổng đầu ra", "網口輸出"};
} // namespace

netset::netset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::netset)
{
    ui->setupUi(this);
    language_changed();
}

netset::~netset() { delete ui; }

void netset::language_changed() { ui->label_title->setText(panel::text(kNetsetTitle)); }

void netset::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void netset::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_netset, g_outputset, g_option); });
}

void netset::slot_Button_back_clicked() { panel::go_back(this, g_netset, g_outputset, kPageOutputSet); }
