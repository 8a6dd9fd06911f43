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
const panel::Tr5 kLinkcomBaud{"波特率", "Baud rate", "Скорость, бод", "Tốc độ baud", "鮑率"};
const panel::Tr5 kLinkcomDataBits{"数据位", "Data bits", "Биты данных", "Bit dữ liệu", "資料位元"};
const panel::Tr5 kLinkcomStopBit{"停止位", "Stop bit", "Стоповый бит", "Bit dừng", "停止位元"};
} // namespace

linkcom::linkcom(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::linkcom)
{
    ui->setupUi(this);
    para_init();
    language_changed();
    menulist_init();
}

linkcom::~linkcom() { delete ui; }

void linkcom::language_changed()
{
    // The values are the link's fixed settings, the same in every language.
    ui->label_com->setText(panel::text(kLinkcomTitle));
    ui->label_baud->setText(panel::text(kLinkcomBaud));
    ui->label_bit->setText(panel::text(kLinkcomDataBits));
    ui->label_stop->setText(panel::text(kLinkcomStopBit));
}

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
