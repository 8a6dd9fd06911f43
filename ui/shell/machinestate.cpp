#include "ui/shell/machinestate.h"
#include "ui_machinestate.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>

#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/image/sourceinfo.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/settings_menus.h"

using namespace ram;

namespace {
const panel::PageRefresh<MachineState> kMachineStateRefresh(kPageMachineState, g_machinestate);
const panel::Tr5 kMachineStateTitle{"设备信息", "Devices", "Устройство", "Thiết bị", "設備信息"};

// The ports of FPGA 0 the row shows.
constexpr int kShownPorts = 10;
// The barcode when none is stored.
const QString kNoBarcode = QStringLiteral(" ");

// The controller's own version and date.
constexpr int kMcuVersion[3] = {11, 2, 0};
constexpr int kMcuYear = 0x2026, kMcuMonth = 0x04, kMcuDay = 0x04;

QString statusHex2(int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')); }
QString statusDec2(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }
} // namespace

MachineState::MachineState(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::MachineState)
{
    ui->setupUi(this);
    ui->label_FPGA1->setGeometry(150, 15, 140, 15);
    ui->label_FPGA2->hide();
    ui->sourceid0name->hide();
    // Columns 2-5 show the inputs with ids 1, 2, 3 and 0.
    QLabel* const names[] = {ui->sourceid1name, ui->sourceid2name, ui->sourceid3name, ui->sourceid4name};
    const unsigned char ids[] = {sourceinfo::kHdmi1, sourceinfo::kHdmi2, sourceinfo::kHdmi3, sourceinfo::kDvi};
    for (int c = 0; c < 4; ++c)
        names[c]->setText(
            sourceinfo::get_source_specialstyle0_by_sourceid(ids[c]).arg(sourceinfo::get_source_name_by_sourceid(ids[c])));
    ui->sourceid5name->hide();
    panel::set_icon(ui->Button_back, panel::png_plain("back"), QSize(32, 32));
    ui->Button_back->hide();
    panel::set_picture(ui->label_state1, panel::png_plain("output_state"));
    panel::set_picture(ui->label_state2, panel::png_plain("input_state"));
    ui->label_state3->setScaledContents(true);

    initWlan();
    language_changed();
    version_changed();
    source_check();
    const QString barcode = g_str_barcode.get();
    if (barcode != kNoBarcode)
        ui->label_2->setText(QStringLiteral("SN:") + barcode);
}

MachineState::~MachineState() { delete ui; }

void MachineState::initWlan()
{
    delete m_portFrame;
    m_portFrame = new QFrame(ui->frame);
    m_portFrame->setObjectName(QStringLiteral("frame_ports"));
    m_portFrame->setGeometry(20, 20, 288, 65);
    m_portFrame->setStyleSheet(QStringLiteral("background-color: rgb(33, 36, 53);"));
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    const uint16_t mask = fpga ? fpga->get_wlan_state() : 0;
    for (int k = 0; k < kShownPorts; ++k) {
        const int x = 56 + 18 * k;
        QLabel* number = new QLabel(m_portFrame);
        number->setGeometry(x + 4, 13, 12, 14);
        number->setText(QString::number(k + 1));
        number->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);font: 10px"));
        QLabel* link = new QLabel(m_portFrame);
        link->setObjectName(QStringLiteral("port%1_link").arg(k + 1));
        link->setGeometry(x, 27, 16, 14);
        panel::set_picture(link, panel::png_plain((mask >> k) & 1 ? "online" : "offline"));
    }
    m_portFrame->show();
}

void MachineState::source_check()
{
    // By source id.
    QLabel* const pictures[] = {ui->sourceid4pixmap, ui->sourceid1pixmap, ui->sourceid2pixmap, ui->sourceid3pixmap};
    for (int s = 0; s < sourceinfo::kSources; ++s) {
        const bool online = panel::img16(inputTiming(s) + kTimingWidth) && panel::img16(inputTiming(s) + kTimingHeight)
            && panel::img16(inputTiming(s) + kTimingRate);
        sourceinfo::set_sourceonline_pixmap(pictures[s], uint8_t(s), online);
        pictures[s]->setScaledContents(true);
    }
}

void MachineState::version_changed()
{
    ui->label_MCU->setText(QStringLiteral("MCU:V%1.%2.%3 %4-%5-%6")
                               .arg(statusDec2(kMcuVersion[0]), statusDec2(kMcuVersion[1]), statusDec2(kMcuVersion[2]),
                                   QString::number(kMcuYear, 16), statusHex2(kMcuMonth), statusHex2(kMcuDay)));
    // As FPGA 0's register shadow holds them: the version in register 28,
    // the date in 29 (day), 30 (month) and 31 (year after 2000).
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    int reg[4] = {};
    for (int i = 0; i < 4; ++i)
        reg[i] = fpga ? fpga->shadow(uint8_t(28 + i), 0) : 0;
    ui->label_FPGA1->setText(QStringLiteral("FPGA:V%1.00.%2 %3-%4-%5")
                                 .arg(statusHex2(0x11), statusHex2(reg[0]), QString::number(0x2000 + reg[3], 16), statusHex2(reg[2]),
                                     statusHex2(reg[1])));
    panel::fit_label(ui->label_MCU);
    panel::fit_label(ui->label_FPGA1);
}

void MachineState::language_changed()
{
    ui->label_title->setText(panel::text(kMachineStateTitle));
    panel::fit_label(ui->label_title);
    const int lang = panel::language();
    const bool russian = lang == panel::kRussian;
    const char* version = "version_state";
    if (russian)
        version = "ru_version_state";
    else if (lang == panel::kEnglish || lang == panel::kVietnamese)
        version = "en_version_state";
    panel::set_picture(ui->label_state3, panel::png_plain(version));
    panel::set_picture(ui->label_state1, panel::png_plain(russian ? "ru_output_state" : "output_state"));
    panel::set_picture(ui->label_state2, panel::png_plain(russian ? "ru_input_state" : "input_state"));
}

void MachineState::syncUpdate(int code)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    source_check();
    if (fpga_manage::p_fpga_manage && code == kChangePortState)
        initWlan();
}

void MachineState::keyReleaseEvent(QKeyEvent* event)
{
    // The line each handled key writes, as on the menus; the screen has no
    // ring, so the index it gives reads 0.
    settings_menus::log_key_release("MachineState", event->key(), 0);
    panel::ring_keys(
        event->key(), keyboard, nullptr, nullptr,
        [this] { panel::go_back(this, g_machinestate, g_mainwindow, kPageMainWindow); },
        [this] { return panel::mode_key_chain(this, g_machinestate); });
}

void MachineState::on_Button_back_clicked() { panel::go_back(this, g_machinestate, g_mainwindow, kPageMainWindow); }
