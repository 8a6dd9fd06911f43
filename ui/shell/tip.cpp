#include "ui/shell/tip.h"
#include "ui_tip.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QRegularExpression>
#include <algorithm>
#include <QLabel>
#include <QPointer>

#include "core/globals.h"
#include "core/syncupdate.h"
#include "ui/shell/screen_kit.h"

namespace {

constexpr int kTipTicks = 300; // 3 s of 10 ms ticks
constexpr int kSmallestTextPx = 11;

const panel::Tr5 kUsbConnected{"U盘已接入\n请稍候…", "USB driver is connected,please wait...",
                               "Драйвер USB подключен,\nпожалуйста,подождите...", "Usb đã truy cập\nxin vui lòng chờ …",
                               "U盤已接入\n請稍候…"};
const panel::Tr5 kUsbUnplugged{"U盘已拔出", "USB drive is unplugged.", "USB-накопитель отключен \nот сети.",
                               "USB Thì không kết nối.", "U盤已拔出"};
const panel::Tr5 kReading{"正在读取中，请稍候…", "Reading the data,pls wait", "Прочитайте данные,\nпожалуйста,подождите",
                          "Đang đọc,xin vui lòng chờ …", "正在讀取中，請稍候…"};
const panel::Tr5 kCardJobFailed{"接收卡操作失败", "Receiving card\noperation failed",
                                "Операция с приёмными картами не выполнена", "Thao tác với thẻ nhận không thành công",
                                "接收卡操作失敗"};

const panel::Tr5* noticeText(int kind)
{
    switch (kind) {
    case kNoticeUsbConnected: return &kUsbConnected;
    case kNoticeUsbUnplugged: return &kUsbUnplugged;
    case kNoticeReading: return &kReading;
    case kNoticeCardJobFailed: return &kCardJobFailed;
    default: return nullptr;
    }
}

void showNotice(int kind)
{
    if (TIP* tip = g_tip)
        tip->tip_create(kind);
}

// The dispatcher's notices. It runs in the GUI thread; a call from any other
// thread is handed there and finds the notice anew.
const struct TipNoticeHook {
    TipNoticeHook()
    {
        SyncUpdate::setNoticeHook([](int kind) { panel::run_in_gui([kind] { showNotice(kind); }); });
    }
} kTipNoticeHook;

QFrame* newContentFrame(QWidget* parent, int width)
{
    auto* frame = new QFrame(parent);
    frame->setGeometry(0, 0, width, 120);
    frame->setStyleSheet(QStringLiteral("background-color:rgb(136, 138, 133);"));
    return frame;
}

// A word wider than the label (with a wide panel font) is drawn a size
// smaller rather than cut at both edges.
void fitWords(QLabel* label)
{
    label->ensurePolished();
    const QStringList words = label->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (int px = label->font().pixelSize(); px > kSmallestTextPx; --px) {
        QFont font = label->font();
        font.setPixelSize(px);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& word : words)
            widest = std::max(widest, metrics.horizontalAdvance(word));
        if (widest <= label->width()) {
            if (px != label->font().pixelSize())
                label->setStyleSheet(QStringLiteral("font: %1px").arg(px));
            return;
        }
    }
    label->setStyleSheet(QStringLiteral("font: %1px").arg(kSmallestTextPx));
}

} // namespace

TIP::TIP(QWidget* parent)
    : PanelDialog(parent)
    , ui(new Ui::TIP)
{
    ui->setupUi(this);
}

TIP::~TIP()
{
    if (g_tip == this)
        g_tip = nullptr;
    delete ui;
}

int TIP::tip_create(int kind)
{
    delete m_content;
    m_content = nullptr;

    if (kind == kNoticeDone) {
        setGeometry(100, 60, 120, 120);
        m_content = newContentFrame(this, 120);
        auto* mark = new QLabel(m_content);
        mark->setGeometry(20, 20, 80, 80);
        panel::set_picture(mark, panel::png_plain(QStringLiteral("check_180")));
        mark->raise();
    } else if (const panel::Tr5* text = noticeText(kind)) {
        setGeometry(50, 60, 220, 120);
        m_content = newContentFrame(this, 220);
        auto* line = new QLabel(m_content);
        line->setGeometry(5, 5, 200, 100);
        line->setStyleSheet(QStringLiteral("font: 15px"));
        line->setText(panel::text(*text));
        line->setAlignment(Qt::AlignCenter);
        // Long lines wrap inside the box instead of running out of it.
        line->setWordWrap(true);
        fitWords(line);
    } else {
        // Nothing to show, also for a notice that was waiting its turn.
        m_waiting = false;
        return 0;
    }
    m_content->show();
    // Every notice is up for its own 300 ticks: one that replaces a notice
    // still shown starts the count again.
    m_ticks = 0;
    if (m_running) {
        // One modal run at a time. The run that is up shows this notice; a
        // run whose notice has just closed, but has not yet returned, shows
        // it again once it has.
        if (!isVisible())
            m_waiting = true;
        return 0;
    }
    return tip_show();
}

int TIP::tip_show()
{
    QPointer<TIP> self(this);
    QPointer<QWidget> beneath(QApplication::activeWindow());
    int result = 0;
    m_running = true;
    do {
        m_waiting = false;
        m_ticks = 0;
        g_tip_flag = 1;
        result = exec();
    } while (self && m_waiting);
    if (!self)
        return result;
    m_running = false;
    // Gone: the window it covered takes the keys again.
    if (!isVisible() && beneath != self)
        panel::hand_keys_back(beneath);
    return result;
}

void TIP::tip_outtime_deal()
{
    if (++m_ticks != kTipTicks)
        return;
    hide();
    m_ticks = 0;
    g_tip_flag = 0;
    VYX_DEBUG("\n tip over! ");
}
