#include "ui/setup/factoryage.h"
#include "ui_factoryage.h"

#include <QDateTime>
#include <algorithm>
#include <QKeyEvent>
#include <QLabel>
#include <QMutexLocker>

#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/clock.h"
#include "ui/shell/advancedoption.h"
#include "ui/shell/option.h"

namespace {
const panel::PageRefresh<factoryage> kFactoryageRefresh(kPageFactoryage, g_factoryage);

// Bits 0-4 of register 40: a set bit is a pass.
const char* const kChecks[] = {"DDR0", "DDR1", "DE", "HS", "VS"};
const QString kPass = QStringLiteral("<font color = #00FF00 >%1</font>");
const QString kFault = QStringLiteral("<font color = #FF0000 >%1</font>");

// One log line, "MM-dd hh:mm r42 r40 r43", as a page entry; empty for a
// line of another shape.
QString page_entry(const QString& line)
{
    const QStringList field = line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (field.size() != 5)
        return QString();
    QString entry = field[0] + ' ' + field[1] + ' ';
    entry += QStringLiteral("%1").arg(field[2].toInt(), 3, 10, QLatin1Char('0'));
    entry += ' ';
    const int checks = field[3].toInt();
    for (int bit = 0; bit < 5; ++bit)
        entry += ((checks >> bit) & 1 ? kPass : kFault).arg(QLatin1String(kChecks[bit])) + ' ';
    entry += QStringLiteral("%1").arg(field[4].toInt(), 3, 10, QLatin1Char('0'));
    return entry;
}
} // namespace

factoryage::factoryage(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::factoryage)
    , m_buttonStyle("color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);")
    , m_buttonFocusedStyle("color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);")
    , m_ring(ui_select)
{
    ui->setupUi(this);
    m_font.setPixelSize(10);
    para_init();
    menulist_init();
    ageloginit();
}

factoryage::~factoryage() { delete ui; }

void factoryage::menulist_init()
{
    m_ring.set({ui->ButtonNext, ui->ButtonPriv}, m_buttonStyle, m_buttonFocusedStyle);
    m_ring.start(0);
}

void factoryage::syncUpdate() { }

int factoryage::page_count() const { return (factoryage_log.size() + kLinesPerPage - 1) / kLinesPerPage; }

void factoryage::ageloginit()
{
    QDateTime now;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        now = platform::currentDateTime();
    }
    const QString waiting = now.toString(QStringLiteral("MM-dd hh:mm")) + QStringLiteral("  ")
        + QString::fromUtf8("正在老化中...");

    delete m_page;
    m_page = new QWidget(ui->frame);
    m_page->setGeometry(0, 0, 280, 236);
    m_pageLabel = new QLabel(m_page);
    m_pageLabel->setGeometry(0, 0, 260, 236);
    m_pageLabel->setFont(m_font);
    m_pageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pageLabel->setStyleSheet(QStringLiteral("background-color: #10101C;color: #FFFFFF;"));
    m_pageLabel->setFrameShape(QFrame::NoFrame);

    if (!factoryage_log.isEmpty()) {
        update_agelog();
    } else {
        m_pageText = waiting;
        m_pageLabel->setTextFormat(Qt::PlainText);
        m_pageLabel->setText(m_pageText);
        show_counters();
        ui->page_info->setText(QStringLiteral("0"));
        ui->label_page->setText(QStringLiteral("0/0"));
    }
    m_page->show();
}

void factoryage::update_agelog()
{
    const int total = factoryage_log.size();
    if (total == 0) {
        // The waiting text stays; the page number below then reads 1/0.
        ageloginit();
    } else {
        const int start = m_pageIndex * kLinesPerPage;
        const int end = std::min(start + kLinesPerPage, total);
        m_pageText.clear();
        for (int i = start; i < end; ++i) {
            const QString entry = page_entry(factoryage_log.at(i));
            if (entry.isEmpty())
                continue;
            if (i != start)
                m_pageText += QStringLiteral("<br>");
            m_pageText += entry;
        }
        m_pageLabel->setTextFormat(Qt::RichText);
        m_pageLabel->setText(m_pageText);
    }
    show_counters();
    ui->page_info->setText(QString::number(total));
    ui->label_page->setText(QStringLiteral("%1/%2").arg(m_pageIndex + 1).arg(page_count()));
}

void factoryage::show_counters()
{
    ui->label_3->setText(QString::number(factoryage_log_diff3) + QStringLiteral("<3"));
    ui->label_5->setText(QString::number(factoryage_log_diff5) + QStringLiteral("<5"));
    ui->label_10->setText(QString::number(factoryage_log_diff10) + QStringLiteral("<10"));
    ui->label_20->setText(QString::number(factoryage_log_diff20) + QStringLiteral("<20"));
    ui->label_more->setText(QString::number(factoryage_log_diffmore) + QStringLiteral(">20"));
}

void factoryage::on_ButtonNext_clicked()
{
    const int pages = page_count();
    if (m_pageIndex >= pages)
        return;
    m_pageIndex = uint8_t(m_pageIndex + 1 >= pages ? 0 : m_pageIndex + 1);
    update_agelog();
}

void factoryage::on_ButtonPriv_clicked()
{
    const int pages = page_count();
    if (pages == 0)
        return;
    m_pageIndex = uint8_t(m_pageIndex == 0 ? pages - 1 : m_pageIndex - 1);
    update_agelog();
}

void factoryage::keyReleaseEvent(QKeyEvent* event)
{
    panel::ring_keys(
        event->key(), keyboard, &m_ring,
        [this](int item) {
            if (item == 0)
                on_ButtonNext_clicked();
            else
                on_ButtonPriv_clicked();
        },
        [this] { slot_Button_back_clicked(); },
        [this] { return panel::mode_key_chain(this, g_factoryage, g_advancedoption, g_option); });
}

void factoryage::slot_Button_back_clicked()
{
    panel::close_screen(this);
    g_factoryage = nullptr;
    // The menu below is re-texted only when the language changed meanwhile.
    if (VyxRamPara::pInstance()->VyxLanguageChanged() && g_advancedoption)
        g_advancedoption->language_changed();
    g_page_focus = kPageAdvancedOption;
    panel::hand_keys_back(g_advancedoption);
}
