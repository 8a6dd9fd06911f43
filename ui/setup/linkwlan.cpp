#include "ui/setup/linkwlan.h"
#include "ui_linkwlan.h"

#include <QDebug>
#include <QKeyEvent>
#include <QVariant>

#include "core/config_engine.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "ui/setup/setup_kit.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/option.h"

namespace {
const panel::PageRefresh<linkwlan> kLinkwlanRefresh(kPageLinkwlan, g_linkwlan);
const panel::Tr5 kLinkwlanTitle{"网口设置", "Net connect", "Сетевое подключение", "Kết nối mạng", "網口設置"};
const panel::Tr5 kLinkwlanIp{"IP地址", "IP", "IP", "IP", "IP位址"};
const panel::Tr5 kLinkwlanMask{"子网掩码", "Mask", "Маска", "Mặt nạ", "子網遮罩"};
const panel::Tr5 kLinkwlanGate{"网关", "Gate", "Шлюз", "Cổng", "閘道"};
const panel::Tr5 kLinkwlanApply{"应用", "Apply", "Применить", "Áp dụng", "套用"};
const panel::Tr5 kLinkwlanCancel{"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};

constexpr int kPartsPerRow = 4;

// One part of a dotted quad as it goes to the configuration: a decimal
// number 0..255 without leading zeros (the network tools would read "010"
// as octal). False for anything else, an empty part included.
bool address_part(const QString& text, QString* out)
{
    if (text.isEmpty())
        return false;
    unsigned value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + unsigned(c.unicode() - '0');
        if (value > 255)
            return false;
    }
    *out = QString::number(value);
    return true;
}
} // namespace

linkwlan::linkwlan(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::linkwlan)
    , m_styleFieldFocused("color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);")
    , m_styleButton("color: rgb(255, 255, 255);border:1px solid rgb(255,255,255);")
    , m_styleButtonFocused("color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);")
    , m_styleFirst("color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border-top:1px solid rgb(255,255,255);"
                   "border-bottom:1px solid rgb(255,255,255);border-left:1px solid rgb(255,255,255);border-right:0px;")
    , m_styleMiddle("color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border-top:1px solid "
                    "rgb(255,255,255);border-bottom:1px solid rgb(255,255,255);border-left:0px;border-right:0px;")
    , m_styleLast("color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border-top:1px solid rgb(255,255,255);"
                  "border-bottom:1px solid rgb(255,255,255);border-right:1px solid rgb(255,255,255);border-left:0px;")
    , m_ring(ui_select)
{
    ui->setupUi(this);
    My_lineEdit* const fields[kFields] = {ui->lineEditIp1, ui->lineEditIp2, ui->lineEditIp3, ui->lineEditIp4,
                                          ui->lineEditMask1, ui->lineEditMask2, ui->lineEditMask3, ui->lineEditMask4,
                                          ui->lineEditGate1, ui->lineEditGate2, ui->lineEditGate3, ui->lineEditGate4};
    for (int i = 0; i < kFields; ++i) {
        m_fields[i] = fields[i];
        m_names << fields[i]->objectName();
        connect(fields[i], &My_lineEdit::send_show, this, &linkwlan::show_numberkeyboard_ui);
    }
    fill();
    if (g_numberkeyboard)
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this, &linkwlan::confirmString);
    para_init();
    menulist_init();
    language_changed();
}

linkwlan::~linkwlan()
{
    // The keyboard's field pointer must not outlive the fields.
    for (My_lineEdit* field : m_fields)
        if (g_lineedit == field)
            g_lineedit = nullptr;
    delete ui;
}

void linkwlan::fill()
{
    const QString stored[3] = {g_str_ip.get(), g_srt_mask.get(), g_str_gateway.get()};
    for (int row = 0; row < 3; ++row) {
        // A stored text of fewer parts (the PC may send one) leaves the
        // remaining fields empty.
        const QStringList parts = stored[row].split(QLatin1Char('.'), Qt::KeepEmptyParts);
        for (int k = 0; k < kPartsPerRow; ++k)
            m_fields[row * kPartsPerRow + k]->setText(parts.value(k));
    }
}

QString linkwlan::row_style(int index) const
{
    switch (index % kPartsPerRow) {
    case 0:
        return m_styleFirst;
    case kPartsPerRow - 1:
        return m_styleLast;
    default:
        return m_styleMiddle;
    }
}

void linkwlan::menulist_init()
{
    std::vector<QWidget*> items(m_fields, m_fields + kFields);
    items.push_back(ui->Button_apply);
    items.push_back(ui->Button_cancle);
    m_ring.set(std::move(items), [this](int index, bool focused) {
        if (index < kFields)
            return focused ? m_styleFieldFocused : row_style(index);
        return focused ? m_styleButtonFocused : m_styleButton;
    });
    m_ring.start(0);
}

void linkwlan::language_changed()
{
    ui->label_wlan->setText(panel::text(kLinkwlanTitle));
    ui->label_IpSet->setText(panel::text(kLinkwlanIp));
    ui->label_netmask->setText(panel::text(kLinkwlanMask));
    ui->label_gateway->setText(panel::text(kLinkwlanGate));
    ui->Button_apply->setText(panel::text(kLinkwlanApply));
    ui->Button_cancle->setText(panel::text(kLinkwlanCancel));
}

void linkwlan::syncUpdate()
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
}

void linkwlan::show_numberkeyboard_ui(QString)
{
    My_lineEdit* field = qobject_cast<My_lineEdit*>(sender());
    if (!field || !g_numberkeyboard)
        return;
    m_editName = field->objectName();
    const int index = m_names.indexOf(m_editName);
    const bool mask = index >= kPartsPerRow && index < 2 * kPartsPerRow;
    panel::open_number_keyboard(field, mask ? QStringLiteral("Mask") : QStringLiteral("IP"));
}

void linkwlan::confirmString(QString text)
{
    // Every screen connected to the keyboard hears its OK: only an edit of
    // one of these twelve fields is this screen's.
    if (!m_names.contains(m_editName))
        return;
    for (My_lineEdit* field : m_fields)
        if (g_lineedit == field) {
            field->setText(text);
            return;
        }
}

void linkwlan::on_Button_net_apply_clicked()
{
    QString joined[3];
    for (int row = 0; row < 3; ++row) {
        QStringList parts;
        for (int k = 0; k < kPartsPerRow; ++k) {
            QString part;
            // An empty part or one above 255 would be stored and leave eth0
            // unusable at every start: nothing is stored.
            if (!address_part(m_fields[row * kPartsPerRow + k]->text(), &part))
                return;
            parts << part;
        }
        joined[row] = parts.join(QLatin1Char('.'));
    }
    if (g_str_ip == joined[0] && g_srt_mask == joined[1] && g_str_gateway == joined[2])
        return;
    qDebug() << "IP:" << joined[0];
    qDebug() << "Mask:" << joined[1];
    qDebug() << "Gateway:" << joined[2];
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::IPAddress, QVariant(joined[0]));
    config->write_config_variant(ConfigItem::SubNetMask, QVariant(joined[1]));
    config->write_config_variant(ConfigItem::GateWay, QVariant(joined[2]));
    Utils::system_mutex(QStringLiteral("sync"));
    Utils::usleep_mutex(100);
    // Reloads the three texts from the configuration, then sets eth0.
    Utils::initIPAddress();
    VyxRamPara::pInstance()->test_signal(kChangeRefresh);
}

void linkwlan::ok_key(int item)
{
    if (item < kFields) {
        // As a touch would: the field asks for the keyboard.
        My_lineEdit* field = m_fields[item];
        emit field->send_show(field->text());
    } else if (item == kApply) {
        on_Button_net_apply_clicked();
    } else if (item == kCancel) {
        slot_Button_back_clicked();
    }
}

void linkwlan::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &m_ring, [this](int item) { ok_key(item); }, [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_linkwlan, g_linkoption, g_option); });
}

void linkwlan::slot_Button_back_clicked() { panel::go_back(this, g_linkwlan, g_linkoption, kPageLinkOption); }
