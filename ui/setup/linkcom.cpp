#include "ui/setup/linkcom.h"
#include "ui_linkcom.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<linkcom> kLinkcomRefresh(kPageLinkcom, g_linkcom);
const panel::Tr5 kLinkcomTitle{"串口连接", "Serial port", "Последовательный порт", "Cổng nối tiếp", "串口連接"};
} // namespace

linkcom::linkcom(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::linkcom)
{
    ui->setupUi(this);
    language_changed();
}

linkcom::~linkcom() { delete ui; }

void linkcom::language_changed() { ui->label_title->setText(panel::text(kLinkcomTitle)); }

void linkcom::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void linkcom::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_linkcom, g_linkoption, g_option); });
}

void linkcom::slot_Button_back_clicked() { panel::go_back(this, g_linkcom, g_linkoption, kPageLinkOption); }
