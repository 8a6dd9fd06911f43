#include "ui/rcvtools/firmware_usbgrade.h"

#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "fpga/upgrade_package.h"
#include "platform/platform.h"
#include "ui/shell/linkoption.h"
#include "ui/shell/option.h"
#include "ui/shell/screen_kit.h"
#include "ui/shell/screen_styles.h"

namespace {
const panel::PageRefresh<firmware_usbgrade> kFirmwareusbgradeRefresh(kPageFirmwareUsbgrade, g_firmware_usbgrade);
const panel::Tr5 kFirmwareusbgradeTitle{"USB升级", "USB UPDATE", "Обновление через USB", "Cập nhật qua USB", "USB昇級"};
const panel::Tr5 kFirmwareusbgradeOk{"确定", "OK", "ОК", "OK", "確定"};
const panel::Tr5 kFirmwareusbgradeNone{
    "没有可加载的文件！", "No loaded file!", "Нет файлов для загрузки!", "Không có tệp để tải!", "沒有可載入的文件！"};
const char* const kFirmwareusbgradeFocused = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
// The upgrade's state in the status line, the same in every language.
const char* const kFirmwareusbgradeRunning = "<font style = 'font-size:12px' color = #FF0000 >%1</font>";
const char* const kFirmwareusbgradeStamps = "<font style = 'font-size:12px' color = #51BB28 >%1</font>";
const char* const kFirmwareusbgradeOver = "<font style = 'font-size:13px' color = #51BB28 >%1</font>";
// An upgrade that could not read or write a package or child ends in red,
// as the warning while it runs.
const char* const kFirmwareusbgradeFailed = "<font style = 'font-size:13px' color = #FF0000 >%1</font>";
const panel::Tr5 kFirmwareusbgradeFailedText{
    "升级失败", "Update failed", "Ошибка обновления", "Cập nhật thất bại", "昇級失敗"};
// How long the touch on OK holds the panel after showing the times.
constexpr unsigned kFirmwareusbgradeHoldMs = 2000;

QLabel* firmwareusbgradeLabel(QWidget* parent, const char* name, const QRect& at)
{
    QLabel* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(at);
    label->setStyleSheet(QLatin1String(style::kWhiteText));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

firmware_usbgrade::firmware_usbgrade(QWidget* parent)
    : PanelDialog(parent)
{
    setObjectName(QStringLiteral("firmware_usbgrade"));
    resize(320, 240);
    setWindowTitle(QStringLiteral("Dialog"));
    setStyleSheet(QLatin1String(style::kWindowBackground));

    label_usb_update = firmwareusbgradeLabel(this, "label_usb_update", QRect(33, 10, 254, 22));
    QFont title = label_usb_update->font();
    title.setPointSize(11);
    label_usb_update->setFont(title);

    frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(10, 42, 300, 190);
    frame->setStyleSheet(QStringLiteral("#frame{border:1px solid rgb(255, 255, 255);border-radius:5px;}"));

    label_log = firmwareusbgradeLabel(frame, "label_log", QRect(20, 5, 260, 40));
    label_log->setWordWrap(true);

    Button_grade = new QPushButton(frame);
    Button_grade->setObjectName(QStringLiteral("Button_grade"));
    Button_grade->setGeometry(190, 153, 80, 25);
    Button_grade->setFocusPolicy(Qt::NoFocus);
    QMetaObject::connectSlotsByName(this);

    menulist_init();
    upgrade_file_list();
    language_changed();
}

firmware_usbgrade::~firmware_usbgrade() = default;

void firmware_usbgrade::menulist_init()
{
    ui_select = 0;
    Button_grade->setStyleSheet(QLatin1String(kFirmwareusbgradeFocused));
    get_file_list_smartpath();
}

void firmware_usbgrade::language_changed()
{
    label_usb_update->setText(panel::text(kFirmwareusbgradeTitle));
    Button_grade->setText(panel::text(kFirmwareusbgradeOk));
}

void firmware_usbgrade::syncUpdate(int code)
{
    switch (code) {
    case kChangeDeviceAdded:
        return;
    case kChangeDeviceRemoved:
    case kChangeStorageReady:
        file_select = 0;
        get_file_list_smartpath();
        upgrade_file_list();
        return;
    default:
        break;
    }
    if (VyxRamPara::pInstance()->VyxLanguageChanged()) {
        upgrade_file_list();
        language_changed();
    }
    // The end of the upgrade shows whatever the language did meanwhile.
    if (code == kChangeUsbUpgrade) {
        const fpga_manage* worker = fpga_manage::p_fpga_manage;
        const QString times = worker ? worker->usb_grade_time() : QString();
        if (worker && worker->usb_grade_failed())
            label_log->setText(QString::fromLatin1(kFirmwareusbgradeFailed)
                                   .arg(panel::text(kFirmwareusbgradeFailedText) + QStringLiteral("<br>") + times));
        else
            label_log->setText(QString::fromLatin1(kFirmwareusbgradeOver).arg(QStringLiteral("downing over<br>") + times));
    }
}

void firmware_usbgrade::get_file_list_smartpath()
{
    std::fill(std::begin(m_highlight), std::end(m_highlight), uint8_t(0));
    current_page = 0;
    m_vyx_count = m_vyxzk_count = 0;
    m_packages.clear();
    // The worker lists the same directory the same way when it applies them.
    for (const QString& path : upgrade::list_packages(g_usb_grade_path.get())) {
        if (m_packages.size() == kMaxPackages)
            break;
        const int i = m_packages.size();
        m_packages << path;
        // The first "VYX" package and every "VYXZK" package stand out.
        if (QFileInfo(path).suffix() == QLatin1String("VYX")) {
            m_highlight[i] = m_vyx_count == 0;
            ++m_vyx_count;
        } else {
            m_highlight[i] = 1;
            ++m_vyxzk_count;
        }
    }
    m_last_page = uint8_t(filelist::last_page(m_packages.size()));
}

void firmware_usbgrade::upgrade_file_list()
{
    std::vector<filelist::Row> rows;
    const int first = filelist::first_row(current_page);
    for (int r = 0; r < filelist::rows_on_page(m_packages.size(), current_page); ++r) {
        const int k = first + r;
        // The file name, wherever the upgrade directory lies.
        const QString name = QFileInfo(m_packages[k]).fileName().toHtmlEscaped();
        rows.push_back({QStringLiteral("<font color = #FFFFFF >%1</font>").arg(name), m_highlight[k] != 0});
    }
    m_list.rebuild(frame, this, rows, panel::text(kFirmwareusbgradeNone), current_page >= 1,
        current_page < m_last_page);
}

void firmware_usbgrade::vyx_button_file_clicked() { m_list.select(file_select, sender()); }

void firmware_usbgrade::vyx_Button_previous_clicked()
{
    filelist::page_previous(current_page);
    upgrade_file_list();
}

void firmware_usbgrade::vyx_Button_next_clicked()
{
    filelist::page_next(current_page, m_last_page);
    upgrade_file_list();
}

void firmware_usbgrade::menulist_button_ok_page()
{
    if (file_downing)
        return;
    // A receiving-card job or an upgrade still running owns the mailbox's
    // step: starting now would send it back to its beginning.
    if (g_send_para.job.load() != 0 || g_usb_grade.load() != 0)
        return;
    file_downing = 1;
    g_send_para.step = 0;
    g_usb_grade = 1;
    fpga_manage::wake();
}

QString firmware_usbgrade::clock_stamp()
{
    fpga_manage* worker = fpga_manage::p_fpga_manage;
    if (!worker)
        return QString();
    TimeRealType t;
    worker->IT8563WE_Get(&t);
    return QStringLiteral("%1:%2:%3").arg(int(t.hour)).arg(int(t.minute)).arg(int(t.second));
}

void firmware_usbgrade::on_Button_grade_clicked()
{
    const QString stamp = clock_stamp();
    if (file_downing) {
        m_start_stamp = stamp;
        label_log->setText(
            QString::fromLatin1(kFirmwareusbgradeRunning).arg(QStringLiteral("downing ,Dont power off !!\r\n") + stamp));
        return;
    }
    label_log->setText(QString::fromLatin1(kFirmwareusbgradeStamps)
                           .arg(QStringLiteral("downing over \r\n") + m_start_stamp + QStringLiteral("\r\n") + stamp));
    platform::pause_ms(kFirmwareusbgradeHoldMs);
}

void firmware_usbgrade::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, nullptr,
        [this](int) {
            if (!file_downing)
                menulist_button_ok_page();
        },
        [this] { menulist_back_page(); },
        [this] {
            if (panel::panel_locked())
                return false;
            // Once started the screen stays until Back.
            return file_downing != 0 || panel::mode_key_chain(this, g_firmware_usbgrade, g_linkoption, g_option);
        });
}

void firmware_usbgrade::menulist_back_page()
{
    panel::go_back(this, g_firmware_usbgrade, g_linkoption, kPageLinkOption);
}
