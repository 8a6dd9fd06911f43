#include "ui/shell/screen_kit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDebug>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPixmap>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <pthread.h>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "scaler/c331_manage.h"
#include "ui/image/custommode.h"
#include "ui/rcvtools/firmwareupdate.h"
#include "ui/shell/my_lineedit.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/vyx_keyboard.h"

namespace panel {

KeyRole key_role(int key)
{
    switch (key) {
    case kKeyOk:
    case kKeyOkLetter:
        return KeyRole::Ok;
    case kKeyBack:
    case kKeyBackLetter:
        return KeyRole::Back;
    case kKeyLeft:
    case kKeyLeftLetter:
        return KeyRole::Left;
    case kKeyRight:
    case kKeyRightLetter:
        return KeyRole::Right;
    case kKeyMode:
    case kKeyModeLetter:
        return KeyRole::Mode;
    default:
        return KeyRole::None;
    }
}

void log_key_press(const char* screen, int key)
{
    const KeyRole role = key_role(key);
    if (role == KeyRole::Ok)
        qDebug("this is OK button(%s)[Press]\n", screen);
    else if (role == KeyRole::Back)
        qDebug("this is back button(%s)[Press]\n", screen);
}

int language()
{
    const int chosen = g_language.load();
    if (chosen == kChinese || chosen == kRussian || chosen == kVietnamese || chosen == kTraditional)
        if (g_lcd_lang_valid.load() & (1u << chosen))
            return chosen;
    return kEnglish;
}

QString text(const Tr5& texts)
{
    const char* const byLanguage[] = {texts.zh, texts.en, texts.ru, texts.vn, texts.tw};
    return QString::fromUtf8(byLanguage[language()]);
}

const char* icon_prefix()
{
    static const char* const kPrefix[] = {"", "en_", "ru_", "vn_", "tn_"};
    return kPrefix[language()];
}

QString png(const QString& base) { return QStringLiteral(":/png/") + QLatin1String(icon_prefix()) + base + ".png"; }

QString png_plain(const QString& base) { return QStringLiteral(":/png/") + base + ".png"; }

void set_icon(QAbstractButton* button, const QString& path, const QSize& size)
{
    button->setIcon(QIcon(path));
    button->setIconSize(size);
    button->setProperty("png", path);
}

void set_picture(QLabel* label, const QString& path)
{
    label->setPixmap(QPixmap(path));
    label->setScaledContents(true);
    label->setProperty("png", path);
}

namespace {
// Swallows the touches (and the mouse and wheel events the panel makes of
// them) sent to the widget it watches.
class KitTouchBlock : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::ContextMenu:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};
} // namespace

void ignore_touches(QWidget* widget)
{
    // The panel's hit test passes over the widget; the filter catches what
    // is delivered to it directly all the same.
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->installEventFilter(new KitTouchBlock(widget));
}

namespace {
const uint8_t* liveImage() { return VyxRamPara::pInstance()->ram_para; }
const uint8_t* snapshotImage() { return VyxRamPara::pInstance()->ram_para_bak; }
} // namespace

uint8_t img8(int addr) { return loadShared(liveImage() + addr); }
uint16_t img16(int addr) { return le16(liveImage() + addr); }
uint8_t snap8(int addr) { return loadShared(snapshotImage() + addr); }
uint16_t snap16(int addr) { return le16(snapshotImage() + addr); }
bool changed16(int addr) { return img16(addr) != snap16(addr); }

void read_image(int addr, uint8_t* out, int n) { copyShared(out, liveImage() + addr, size_t(n)); }

void read_slot(int slot, int from, uint8_t* out, int n)
{
    copyShared(out, VyxRamPara::pInstance()->user_mode[slot] + from, size_t(n));
}

bool panel_locked() { return img16(ram::kPanelLock) != 0; }

// ---------------------------------------------------------------- writes

ScalerWrite::ScalerWrite(uint8_t code)
    : m_scaler(c331_manage::p_c331_manage)
    , m_code(code)
{
    if (m_scaler)
        pthread_mutex_lock(&m_scaler->para_mutex);
}

ScalerWrite::~ScalerWrite()
{
    if (!m_scaler)
        return;
    m_scaler->raise_request(m_code);
    pthread_mutex_unlock(&m_scaler->para_mutex);
}

void ScalerWrite::put8(int addr, uint8_t value) { storeShared(VyxRamPara::pInstance()->ram_para + addr, value); }

void ScalerWrite::put16(int addr, uint16_t value) { putLe16(VyxRamPara::pInstance()->ram_para + addr, value); }

void ScalerWrite::copy_in(int addr, const uint8_t* from, int n)
{
    copyShared(VyxRamPara::pInstance()->ram_para + addr, from, size_t(n));
}

void ScalerWrite::copy_slot_in(int slot)
{
    VyxRamPara* store = VyxRamPara::pInstance();
    copyShared(store->ram_para + ram::kModeStart, store->user_mode[slot] + ram::kSlotData, ram::kModeLength);
}

void ScalerWrite::mark_slot(int slot, uint8_t marker)
{
    if (slot >= 0 && slot < ram::kModeSlots)
        fillShared(VyxRamPara::pInstance()->user_mode[slot], marker, ram::kFileMarkerLength);
}

// ------------------------------------------------------------ focus ring

FocusRing::FocusRing(uint8_t& ui_select)
    : m_select(ui_select)
{
}

void FocusRing::set(std::vector<QWidget*> items, Style style)
{
    m_items = std::move(items);
    m_style = std::move(style);
}

void FocusRing::set(std::vector<QWidget*> items, const QString& normal, const QString& focused)
{
    set(std::move(items), [normal, focused](int, bool isFocused) { return isFocused ? focused : normal; });
}

void FocusRing::start(int index)
{
    m_select = uint8_t(index);
    restyle();
}

void FocusRing::restyle()
{
    for (int i = 0; i < size(); ++i)
        if (m_items[size_t(i)])
            m_items[size_t(i)]->setStyleSheet(m_style(i, i == m_select));
}

void FocusRing::unfocus()
{
    if (QWidget* w = current())
        w->setStyleSheet(m_style(m_select, false));
}

void FocusRing::refocus()
{
    if (QWidget* w = current())
        w->setStyleSheet(m_style(m_select, true));
}

void FocusRing::focus(int index)
{
    unfocus();
    m_select = uint8_t(index);
    refocus();
}

void FocusRing::move(int delta)
{
    if (m_items.empty())
        return;
    const int n = size();
    focus(((int(m_select) + delta) % n + n) % n);
}

QWidget* FocusRing::current() const { return at(m_select); }

QWidget* FocusRing::at(int index) const { return index >= 0 && index < size() ? m_items[size_t(index)] : nullptr; }

// ------------------------------------------------------------ navigation

namespace {
// The guards alive, in the order they were taken.
std::vector<ScreenGuard*>& screen_guards()
{
    static std::vector<ScreenGuard*> guards;
    return guards;
}
// Set on a screen closed while guarded: its last guard deletes it.
const char kDeleteWhenUnguarded[] = "panel_delete_when_unguarded";

// The firmware dialog while it is up, unless it is `window` itself.
QWidget* upgrade_over(QWidget* window)
{
    QWidget* upgrade = g_move_update;
    return upgrade && upgrade != window && upgrade->isVisible() ? upgrade : nullptr;
}

// The dialog (when up) over `window`, and the keys to `window`.
void keys_under_upgrade(QWidget* window, QWidget* upgrade)
{
    if (upgrade)
        upgrade->raise();
    // Activated after the dialog is raised: the device's framebuffer gives
    // the keys to the window it raised last. A modal window being shown is
    // not yet the active modal widget. A window that takes no focus (the
    // firmware dialog) leaves the keys where they are.
    if (window->windowFlags() & Qt::WindowDoesNotAcceptFocus)
        return;
    if (window->isModal() || !QApplication::activeModalWidget())
        window->activateWindow();
}
} // namespace

void bring_to_front(QWidget* window)
{
    if (!window)
        return;
    window->raise();
    QWidget* upgrade = upgrade_over(window);
    keys_under_upgrade(window, upgrade);
    // From a showEvent the window is not on the screen yet. X maps it where
    // it was raised to, under the dialog; the framebuffer puts it over every
    // other window, so the dialog goes over it again once it is there.
    QWindow* handle = window->windowHandle();
    if (upgrade && handle && !handle->isVisible()) {
        QPointer<QWidget> shown(window);
        post_to_gui([shown] {
            if (shown && shown->isVisible())
                bring_to_front(shown);
        });
    }
}

void hand_keys_back(QWidget* window)
{
    // Nothing else would: X gives the keys of a window gone to the window
    // under the pointer, and the framebuffer to the top one, which while an
    // upgrade runs is the dialog.
    if (window && window->isVisible())
        keys_under_upgrade(window, upgrade_over(window));
}

void show_window(QWidget* window)
{
    if (!window)
        return;
    window->show();
    bring_to_front(window);
}

void close_screen(QWidget* screen)
{
    if (!screen)
        return;
    bool guarded = false;
    // A copy: hiding a child may run code that takes or drops a guard.
    const std::vector<ScreenGuard*> guards = screen_guards();
    for (ScreenGuard* guard : guards) {
        if (guard->screen() != screen)
            continue;
        guarded = true;
        if (QWidget* child = guard->child())
            child->hide();
    }
    if (guarded)
        screen->setProperty(kDeleteWhenUnguarded, true);
    else
        screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->close();
}

ScreenGuard::ScreenGuard(QWidget* screen, QWidget* child)
    : m_screen(screen)
    , m_child(child)
{
    screen_guards().push_back(this);
}

ScreenGuard::~ScreenGuard()
{
    std::vector<ScreenGuard*>& guards = screen_guards();
    guards.erase(std::remove(guards.begin(), guards.end(), this), guards.end());
    QWidget* screen = m_screen;
    if (!screen || !screen->property(kDeleteWhenUnguarded).toBool())
        return;
    for (ScreenGuard* other : guards)
        if (other->screen() == screen)
            return;
    screen->setProperty(kDeleteWhenUnguarded, QVariant());
    screen->deleteLater();
}

int exec_for(QWidget* screen, QDialog* child)
{
    QPointer<QWidget> below(screen);
    int result = 0;
    {
        ScreenGuard guard(screen, child);
        result = child->exec();
    }
    hand_keys_back(below);
    return result;
}

void open_number_keyboard(QLineEdit* field, const QString& title)
{
    NumberKeyboard* keyboard = g_numberkeyboard;
    if (!keyboard || !field)
        return;
    g_lineedit = field;
    keyboard->label_show(title, field->text());
    if (auto* number = qobject_cast<My_lineEdit*>(field))
        keyboard->set_digits(number->digits());
    exec_for(field->window(), keyboard);
}

void open_custommode_by_mode_key()
{
    g_mode_shortcut_key = 1;
    open_modeless(g_custommode, kPageCustomMode);
}

void ring_keys(int key, vyx_keyboard& keys, FocusRing* ring, const std::function<void(int)>& ok,
    const std::function<void()>& back, const std::function<bool()>& mode)
{
    switch (key_role(key)) {
    case KeyRole::Left:
        if (ring)
            ring->move(-1);
        break;
    case KeyRole::Right:
        if (ring)
            ring->move(+1);
        break;
    case KeyRole::Ok:
        if (ok)
            ok(ring ? ring->index() : 0);
        break;
    case KeyRole::Back:
        if (back)
            back();
        break;
    case KeyRole::Mode:
        if (mode && !mode())
            return;
        break;
    case KeyRole::None:
        break;
    }
    keys.update_usb_keyEvent(key);
}

// --------------------------------------------------------- other threads

void post_to_gui(std::function<void()> call)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

void run_in_gui(std::function<void()> call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        call();
    else
        post_to_gui(std::move(call));
}

} // namespace panel
