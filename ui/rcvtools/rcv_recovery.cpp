#include "ui/rcvtools/rcv_recovery.h"
#include "ui_rcv_recovery.h"

#include <QKeyEvent>

#include "core/vyxrampara.h"
#include "fpga/fpga_manage.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"

namespace {
const panel::PageRefresh<rcv_recovery> kRcvrecoveryRefresh(kPageRcvRecovery, g_rcv_recovery);
const panel::Tr5 kRcvrecoveryTitle{"接收卡自恢复", "Receiving card self recovery", "Самовосстановление карт",
    "Tự phục hồi thẻ nhận", "接收卡自恢復"};
const panel::Tr5 kRcvrecoveryUpdate{
    "接收卡更新", "Receiving card update", "Обновление приёмных карт", "Cập nhật thẻ nhận", "接收卡更新"};
const panel::Tr5 kRcvrecoveryCheck{"查询", "Query", "Запрос", "Truy vấn", "查詢"};
const panel::Tr5 kRcvrecoveryRecover{"恢复", "Recovery", "Восстановить", "Phục hồi", "恢復"};
const panel::Tr5 kRcvrecoveryNone{"没有需要更新的接收卡！", "No receiving cards that need to be updated!",
    "Нет приёмных карт для обновления!", "Không có thẻ nhận nào cần cập nhật!", "沒有需要更新的接收卡！"};
// The words of a row; only the Chinese texts have words of their own.
const panel::Tr5 kRcvrecoveryFind{"发现", "Find", "Find", "Find", "發現"};
const panel::Tr5 kRcvrecoveryScreen{"屏幕", "Screen", "Screen", "Screen", "屏幕"};
const panel::Tr5 kRcvrecoveryLed{"网口", "LED", "LED", "LED", "網口"};
const panel::Tr5 kRcvrecoveryRcv{"接收卡", "Rcv", "Rcv", "Rcv", "接收卡"};

const char* const kRcvrecoveryItemNormal = "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const char* const kRcvrecoveryItemFocused = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";

// The worker's "no card to report".
bool rcvrecoveryNoCard(uint16_t result) { return result == 255 || result == 65535; }
} // namespace

rcv_recovery::rcv_recovery(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::rcv_recovery)
{
    ui->setupUi(this);
    ui->label_para_file->hide();
    ui->Button_closetest->hide();
    menulist_init();
    language_changed();
}

rcv_recovery::~rcv_recovery() { delete ui; }

void rcv_recovery::menulist_init()
{
    m_ring.set({ui->Button_check, ui->Button_self_covery}, QLatin1String(kRcvrecoveryItemNormal), QLatin1String(kRcvrecoveryItemFocused));
    m_ring.start(0);
    rcv_self_recovery_file_list();
}

void rcv_recovery::language_changed()
{
    ui->label_title->setText(panel::text(kRcvrecoveryTitle));
    ui->label_rcv_update->setText(panel::text(kRcvrecoveryUpdate));
    ui->Button_check->setText(panel::text(kRcvrecoveryCheck));
    ui->Button_self_covery->setText(panel::text(kRcvrecoveryRecover));
    QFont font = ui->Button_check->font();
    font.setPointSize(panel::language() == panel::kVietnamese ? 7 : 9);
    ui->Button_check->setFont(font);
    ui->Button_self_covery->setFont(font);
    // The rows and the empty line speak the language too.
    rcv_self_recovery_file_list();
}

void rcv_recovery::syncUpdate(int code)
{
    if (VyxRamPara::pInstance()->VyxLanguageChanged())
        language_changed();
    if (code == kChangeRecovery || !rcvrecoveryNoCard(g_send_para.result.load()))
        rcv_self_recovery_file_list();
}

void rcv_recovery::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (panel::key_role(key) == panel::KeyRole::Left)
        menulist_sel_left();
    else if (panel::key_role(key) == panel::KeyRole::Right)
        menulist_sel_right();
    panel::ring_keys(
        key, keyboard, nullptr, [this](int) { menulist_button_ok_page(); }, [this] { menulist_back_page(); },
        [this] {
            // While a job runs the screen stays: its ring waits for the end.
            return !g_qround_bar && panel::mode_key_chain(this, g_rcv_recovery, g_advancedoption, g_option);
        });
}

void rcv_recovery::menulist_sel_right()
{
    if (!g_qround_bar)
        m_ring.move(+1);
}

void rcv_recovery::menulist_sel_left()
{
    if (!g_qround_bar)
        m_ring.move(-1);
}

void rcv_recovery::menulist_back_page()
{
    if (g_qround_bar)
        return;
    panel::go_back(this, g_rcv_recovery, g_advancedoption, kPageAdvancedOption);
}

void rcv_recovery::menulist_button_ok_page()
{
    if (ui_select == 0)
        query();
    else
        recover();
}

bool rcv_recovery::job_free() { return !g_qround_bar && g_send_para.job.load() == 0; }

void rcv_recovery::query()
{
    if (!job_free())
        return;
    // What is listed is what the next recovery restores: a query forgets
    // the card an earlier one found, so nothing is restored unseen.
    m_recovery_list.clear();
    m_entry_count = 0;
    m_start_refused = 0;
    rcv_self_recovery_file_list();
    post_job(5);
}

void rcv_recovery::recover()
{
    if (!job_free() || m_start_refused)
        return;
    if (m_recovery_list.isEmpty()) {
        m_ring.focus(0);
        return;
    }
    post_job(6);
}

void rcv_recovery::post_job(uint8_t code)
{
    QRoundProgressBar::create_qround_bar(this);
    if (g_qround_bar)
        connect(this, &rcv_recovery::sig_qround_bar_update, g_qround_bar, &QRoundProgressBar::para_sync,
            Qt::UniqueConnection);
    g_send_para.post(code);
    m_ring.refocus();
}

void rcv_recovery::set_recovery_list(const QStringList& lines)
{
    m_recovery_list = lines;
    m_entry_count = uint8_t(std::min(lines.size(), 255));
}

QString rcv_recovery::row_text(const QString& entry)
{
    const QStringList parts = entry.split(QLatin1Char('/'));
    if (parts.size() < 4)
        return QString();
    m_start_refused = parts[2].toInt() > parts[3].toInt() ? 1 : 0;
    const QString card = QStringLiteral("<font color = %1 >%2</font>")
                             .arg(QLatin1String(m_start_refused ? "#FF0000" : "#FFFFFF"), parts[2]);
    return panel::text(kRcvrecoveryFind) + QLatin1Char(' ') + panel::text(kRcvrecoveryScreen) + parts[0] + QStringLiteral(", ")
        + panel::text(kRcvrecoveryLed) + parts[1] + QStringLiteral(", ") + panel::text(kRcvrecoveryRcv) + card;
}

void rcv_recovery::rcv_self_recovery_file_list()
{
    // Never more rows than the list holds, whatever the count says.
    const int count = std::min<int>(m_entry_count, m_recovery_list.size());
    m_last_page = uint8_t(filelist::last_page(count));
    if (current_page > m_last_page)
        current_page = 0;
    std::vector<filelist::Row> rows;
    const int first = filelist::first_row(current_page);
    for (int r = 0; r < filelist::rows_on_page(count, current_page); ++r)
        rows.push_back({row_text(m_recovery_list[first + r]), r == file_select});
    m_list.rebuild(ui->frame, this, rows, panel::text(kRcvrecoveryNone), current_page > 0,
        current_page < m_last_page);
}

void rcv_recovery::vyx_button_file_clicked() { m_list.select(file_select, sender()); }

void rcv_recovery::vyx_Button_previous_clicked()
{
    filelist::page_previous(current_page);
    rcv_self_recovery_file_list();
}

void rcv_recovery::vyx_Button_next_clicked()
{
    filelist::page_next(current_page, m_last_page);
    rcv_self_recovery_file_list();
}
