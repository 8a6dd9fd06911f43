#include "ui/rcvtools/firmwareupdate.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTimerEvent>

#include "core/globals.h"
#include "core/screen_hooks.h"
#include "ui/shell/screen_kit.h"

namespace {

constexpr int kPanelWidth = 320;
constexpr int kPictureSide = 64;
constexpr int kTop = 60;
constexpr int kBottom = 116;
constexpr int kTextY = 200;
constexpr int kTextHeight = 17;

QString baseText()
{
    switch (panel::language()) {
    case panel::kChinese:
        return QStringLiteral("升级中，请勿断电 ");
    case panel::kTraditional:
        return QStringLiteral("昇級中，請勿斷電 ");
    default:
        return QStringLiteral("Updating ");
    }
}

void startInGui()
{
    // The keys stay with the window that has them, also where the platform
    // gives them to the window it raised last (the device's framebuffer).
    const QPointer<QWidget> keys = QApplication::activeWindow();
    FirmwareUpdate* dialog = g_move_update;
    if (!dialog) {
        dialog = new FirmwareUpdate(nullptr);
        g_move_update = dialog;
    }
    // Still up: show() on a shown window changes nothing, the road to the
    // front does.
    panel::show_window(dialog);
    if (keys && keys != dialog)
        panel::hand_keys_back(keys);
}

void overInGui()
{
    if (FirmwareUpdate* shown = g_move_update) {
        // Cleared first: the tick must never reach the dialog being freed.
        g_move_update = nullptr;
        shown->close();
    }
}

// The upgrade's owners (the FPGA worker, the PC upload) reach the dialog
// through the main window's calls.
const struct FirmwareUpdateHooks {
    FirmwareUpdateHooks()
    {
        screen_hooks::set(ScreenHook::FirmwareUpdateStart, firmware_update_start);
        screen_hooks::set(ScreenHook::FirmwareUpdateOver, firmware_update_over);
    }
} kFirmwareUpdateHooks;

} // namespace

void firmware_update_start() { panel::run_in_gui(startInGui); }

void firmware_update_over() { panel::run_in_gui(overInGui); }

FirmwareUpdate::FirmwareUpdate(QWidget* parent)
    : PanelDialog(parent)
    , m_picture(new QLabel(this))
    , m_text(new QLabel(this))
{
    resize(kPanelWidth, 240);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
    setWindowTitle(QStringLiteral("Dialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It has no page of its own: the keys stay with the screen underneath,
    // and a touch on it must not take them (X activates a window it is
    // clicked on unless the window takes no focus).
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);

    m_picture->setObjectName(QStringLiteral("label_picture"));
    panel::set_picture(m_picture, panel::png_plain(QStringLiteral("update")));
    m_picture->setGeometry(m_x, m_y, kPictureSide, kPictureSide);

    m_text->setObjectName(QStringLiteral("label_text"));
    m_text->setStyleSheet(QStringLiteral("color: #FFFFFF;font: 13px"));
    m_text->setAlignment(Qt::AlignCenter);
    language_changed();
}

FirmwareUpdate::~FirmwareUpdate()
{
    if (g_move_update == this)
        g_move_update = nullptr;
}

void FirmwareUpdate::placeText(const QString& text, int pixelsPerChar)
{
    const int width = int(text.size()) * pixelsPerChar;
    m_text->setText(text);
    m_text->setGeometry((kPanelWidth - width) / 2, kTextY, width, kTextHeight);
}

void FirmwareUpdate::language_changed()
{
    const int language = panel::language();
    placeText(baseText(), language == panel::kChinese || language == panel::kTraditional ? 13 : 15);
}

void FirmwareUpdate::update_time_deal()
{
    const uint32_t ticks = G_timeTicks.load();
    if (ticks % 2 == 0)
        handleTimerID1();
    if (ticks % 100 == 0)
        handleTimerID2();
    repaint();
}

void FirmwareUpdate::handleTimerID1()
{
    if (m_down) {
        if (m_y != kBottom) {
            ++m_y;
        } else {
            m_y = kBottom - 1;
            m_down = 0;
        }
    } else {
        if (m_y != kTop) {
            --m_y;
        } else {
            m_y = kTop + 1;
            m_down = 1;
        }
    }
    m_picture->setGeometry(m_x, m_y, kPictureSide, kPictureSide);
}

void FirmwareUpdate::handleTimerID2()
{
    ++m_dots;
    static const char* const kDots[] = {"...", ".", ".."};
    placeText(baseText() + QLatin1String(kDots[m_dots % 3]), 13);
}

void FirmwareUpdate::timerEvent(QTimerEvent* event)
{
    if (m_timerId1 && event->timerId() == m_timerId1)
        handleTimerID1();
    else if (m_timerId2 && event->timerId() == m_timerId2)
        handleTimerID2();
}
