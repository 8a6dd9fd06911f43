#include "ui/setup/netset.h"
#include "ui_netset.h"

#include <QKeyEvent>

#include "core/utils.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/shell/option.h"
#include "ui/shell/outputset.h"
#include "ui/shell/screen_kit.h"

namespace {
const panel::PageRefresh<netset> kNetsetRefresh(kPageNetset, g_netset);
const panel::Tr5 kNetsetTitle{"网口输出", "Port output", "Выходные порты", "Cổng đầu ra", "網口輸出"};
const panel::Tr5 kNetsetWidth{"宽", "W", "Ш", "Rộng", "寬"};
const panel::Tr5 kNetsetHeight{"高", "H", "В", "Cao", "高"};
const panel::Tr5 kNetsetPort{"网口LED%1", "LED%1", "LED%1", "LED%1", "網口LED%1"};

// The selection frame: over column c at (24 + 68c, 40).
constexpr int kFrameX = 24, kFrameY = 40, kFrameStep = 68, kFrameW = 58, kFrameH = 41;
} // namespace

netset::netset(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::netset)
    , m_boxStyle("background-color:transparent; border:1px solid rgb(255, 255, 255);border-radius:1px;padding:2px 4px")
    , m_boxSelectedStyle(
          "background-color:transparent; border:0px solid rgb(255, 255, 255);border-radius:1px;padding:2px 4px")
{
    ui->setupUi(this);
    m_boxes[0] = ui->LED1Button;
    m_boxes[1] = ui->LED2Button;
    m_boxes[2] = ui->LED3Button;
    m_boxes[3] = ui->LED4Button;
    panel::set_picture(ui->l_p, panel::png_plain(QStringLiteral("ltri")));
    panel::set_picture(ui->r_p, panel::png_plain(QStringLiteral("rtri")));
    // The port's rectangle is shown, never edited.
    for (QWidget* value : {ui->x_lineEdit, ui->y_lineEdit, ui->w_lineEdit, ui->h_lineEdit})
        panel::ignore_touches(value);
    initMenu();
    para_init();
    language_changed();
    menulist_init();
}

netset::~netset() { delete ui; }

void netset::initMenu()
{
    wlan_para_get(0);
    initWlan();
}

void netset::menulist_init()
{
    ui_select = ui_sel = ui_min_select = 0;
    for (QPushButton* box : m_boxes)
        box->setStyleSheet(m_boxStyle);
    m_box = m_boxes[0];
    m_box->setStyleSheet(m_boxSelectedStyle);
    place_frame();
}

void netset::language_changed()
{
    ui->label_netset->setText(panel::text(kNetsetTitle));
    ui->x_label->setText(QStringLiteral("X"));
    ui->y_label->setText(QStringLiteral("Y"));
    ui->w_label->setText(panel::text(kNetsetWidth));
    ui->h_label->setText(panel::text(kNetsetHeight));
}

void netset::syncUpdate()
{
    // A link that comes or goes shows at the next key, not here.
    if (VyxRamPara::pInstance()->VyxLanguageChanged()) {
        language_changed();
        wlan_para_get(ui_select);
    }
}

void netset::wlan_para_get(uint16_t port)
{
    if (port >= kPorts)
        port = 0;
    uint16_t value[4] = {};
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (fpga && fpga_manage::MCU_RAM_PARA_func[0]) {
        unsigned short at[4] = {};
        fpga_manage::get_eth_param_addr(uint8_t(port), &at[0], &at[1], &at[2], &at[3]);
        // The four words lie side by side from x on; one guarded copy takes
        // them all, so a PC writing the layout meanwhile is seen before or
        // after, never half-way. Bytes, not a cast: x may sit at an odd offset.
        uint8_t rect[8] = {};
        fpga->ram_para_read(0, at[0], rect, sizeof rect);
        for (int k = 0; k < 4; ++k)
            if (at[k] >= at[0] && at[k] - at[0] <= int(sizeof rect) - 2)
                value[k] = le16(rect + (at[k] - at[0]));
    }
    QLineEdit* const fields[4] = {ui->x_lineEdit, ui->y_lineEdit, ui->w_lineEdit, ui->h_lineEdit};
    for (int k = 0; k < 4; ++k)
        fields[k]->setText(QString::number(value[k]));

    QLabel* const numbers[kColumns] = {ui->LED1label, ui->LED2label, ui->LED3label, ui->LED4label};
    const QString format = panel::text(kNetsetPort);
    for (int c = 0; c < kColumns; ++c)
        numbers[c]->setText(format.arg(ui_min_select + 1 + c));
}

void netset::initWlan()
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    const uint16_t mask = fpga ? fpga->get_wlan_state() : 0;
    QLabel* const icons[kColumns] = {ui->L1label, ui->L2label, ui->L3label, ui->L4label};
    for (int c = 0; c < kColumns; ++c) {
        const bool linked = mask & (1u << (ui_min_select + c));
        panel::set_picture(icons[c], panel::png_plain(linked ? QStringLiteral("online_up") : QStringLiteral("offline_up")));
    }
}

void netset::place_frame() { ui->net_frame->setGeometry(kFrameX + kFrameStep * ui_sel, kFrameY, kFrameW, kFrameH); }

void netset::move_right()
{
    if (ui_sel < kColumns - 1) {
        m_box->setStyleSheet(m_boxStyle);
        ++ui_sel;
        ++ui_select;
        m_box = m_boxes[ui_sel];
        m_box->setStyleSheet(m_boxSelectedStyle);
    } else if (ui_select < kPorts - 1) {
        // The window scrolls by one port under the frame.
        ++ui_select;
        ui_min_select = uint8_t(ui_select - (kColumns - 1));
    }
}

void netset::move_left()
{
    if (ui_sel > 0) {
        m_box->setStyleSheet(m_boxStyle);
        --ui_sel;
        --ui_select;
        m_box = m_boxes[ui_sel];
        m_box->setStyleSheet(m_boxSelectedStyle);
    } else {
        if (ui_min_select > 0)
            --ui_min_select;
        if (ui_select > 0)
            --ui_select;
    }
}

void netset::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    const panel::KeyRole role = panel::key_role(key);
    if (role == panel::KeyRole::Right || role == panel::KeyRole::Left) {
        if (role == panel::KeyRole::Right)
            move_right();
        else
            move_left();
        place_frame();
        wlan_para_get(ui_select);
        initWlan();
    }
    panel::ring_keys(
        key, keyboard, nullptr, nullptr, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_netset, g_outputset, g_option); });
}

void netset::slot_Button_back_clicked() { panel::go_back(this, g_netset, g_outputset, kPageOutputSet); }
