#include "ui/rcvtools/rcv_recovery.h"
#include "ui_rcv_recovery.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<rcv_recovery> kRcvrecoveryRefresh(kPageRcvRecovery, g_rcv_recovery);
const panel::Tr5 kRcvrecoveryTitle{"接收卡自恢复", "Receiving card self recovery", "Самовосстановление приёмных карт",
    "Tự phục hồi thẻ nhận", "接收卡自恢復"};
} // namespace

rcv_recovery::rcv_recovery(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::rcv_recovery)
{
    ui->setupUi(this);
    language_changed();
}

rcv_recovery::~rcv_recovery() { delete ui; }

void rcv_recovery::language_changed() { ui->label_title->setText(panel::text(kRcvrecoveryTitle)); }

void rcv_recovery::syncUpdate(int)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void rcv_recovery::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { menulist_back_page(); },
        [this] { return panel::mode_key_chain(this, g_rcv_recovery, g_advancedoption, g_option); });
}

void rcv_recovery::menulist_back_page() { panel::go_back(this, g_rcv_recovery, g_advancedoption, kPageAdvancedOption); }
