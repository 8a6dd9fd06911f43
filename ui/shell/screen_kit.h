#pragma once
// What every panel screen shares: the key roles, the language of texts and
// icons, reads of the parameter image, the scaler write guard, the focus
// ring, opening, closing and the mode key, and calls handed to the GUI
// thread. Screens keep their own classes and method names and use these
// pieces inside them.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "core/change_codes.h"
#include "core/globals.h"
#include "core/screen_hooks.h"
#include "core/syncupdate.h"

class c331_manage;
class QAbstractButton;
class QDialog;
class QLabel;
class QLineEdit;
class vyx_keyboard;

namespace panel {

// ---------------------------------------------------------------- keys
// Each role has two codes: a function key and an upper-case letter. Which
// device sends which does not matter to a screen.
enum class KeyRole { None, Ok, Back, Left, Right, Mode };
constexpr int kKeyOk = 0x01000035; // Qt::Key_F6
constexpr int kKeyOkLetter = 'Q';
constexpr int kKeyBack = 0x010000B7; // Qt::Key_PowerOff
constexpr int kKeyBackLetter = 'O';
constexpr int kKeyLeft = 0x01000033; // Qt::Key_F4
constexpr int kKeyLeftLetter = 'S';
constexpr int kKeyRight = 0x01000034; // Qt::Key_F5
constexpr int kKeyRightLetter = 'R';
constexpr int kKeyMode = 0x01000063; // Qt::Key_Stop
constexpr int kKeyModeLetter = 'M';
KeyRole key_role(int key);
// The debug line a screen writes for a press of OK or back (presses do
// nothing else).
void log_key_press(const char* screen, int key);

// ------------------------------------------------------------ language
enum Language : int { kChinese = 0, kEnglish = 1, kRussian = 2, kVietnamese = 3, kTraditional = 4 };
// The language texts and icons are shown in: the chosen one when the panel
// offers it, English otherwise.
int language();
// The five texts of one literal, UTF-8, in language order.
struct Tr5 {
    const char* zh;
    const char* en;
    const char* ru;
    const char* vn;
    const char* tw;
};
QString text(const Tr5& texts);
// "" for Chinese, "en_", "ru_", "vn_", "tn_".
const char* icon_prefix();
// ":/png/" + language prefix + base + ".png", and the same without prefix.
QString png(const QString& base);
QString png_plain(const QString& base);
// Gives a button the icon at `path` in `size`, or a label the picture at
// `path` (scaled to the label); either keeps the path in its property
// "png", where tests and tools read which picture a widget shows.
void set_icon(QAbstractButton* button, const QString& path, const QSize& size);
void set_picture(QLabel* label, const QString& path);

// ------------------------------------------------- the parameter image
// Reads of the live image and of its snapshot (the state last persisted),
// each byte moved whole: other threads write the image meanwhile.
uint8_t img8(int addr);
uint16_t img16(int addr);
uint8_t snap8(int addr);
uint16_t snap16(int addr);
// The live word differs from the snapshot's.
bool changed16(int addr);
// Copies `n` bytes of the image, or of user-mode slot `slot` (0..15, from
// its marker on), into `out`.
void read_image(int addr, uint8_t* out, int n);
void read_slot(int slot, int from, uint8_t* out, int n);
// The panel-lock word is non-zero: the mode key and the global keys are
// dropped on every screen.
bool panel_locked();

// The scaler write guard: while it lives it holds c331_manage::para_mutex;
// its writes move whole bytes; it raises the scaler's request `code` (1
// apply, 2 apply after a factory reset) inside the hold as it ends, then
// unlocks. A pending 2 is never lowered. Keep it to the writes: a modal
// pop-up or anything that waits comes after it is gone. Without a scaler
// manager (tests, the first moments of start-up) the writes go straight in.
class ScalerWrite {
public:
    explicit ScalerWrite(uint8_t code = 1);
    ~ScalerWrite();
    ScalerWrite(const ScalerWrite&) = delete;
    ScalerWrite& operator=(const ScalerWrite&) = delete;

    void put8(int addr, uint8_t value);
    void put16(int addr, uint16_t value);
    void copy_in(int addr, const uint8_t* from, int n);
    // Copies user-mode slot `slot`'s stored bytes into image 896..4095.
    void copy_slot_in(int slot);
    // Sets the two marker bytes of user-mode slot `slot` (0..15): saved
    // 0xAA, empty 0xFF (the dispatcher then deletes an empty slot's files).
    void mark_slot(int slot, uint8_t marker);

private:
    c331_manage* m_scaler;
    uint8_t m_code;
};
// One guarded change: scaler_write([](ScalerWrite& w) { w.put16(2116, 1); });
template <class Change>
void scaler_write(Change&& change, uint8_t code = 1)
{
    ScalerWrite guard(code);
    change(guard);
}

// ---------------------------------------------------------- focus ring
// The focusable widgets of a screen in ring order; the index lives in the
// screen's own ui_select. Focus shows only through style sheets.
class FocusRing {
public:
    // Style sheet of item `index`, focused or not.
    using Style = std::function<QString(int index, bool focused)>;
    explicit FocusRing(uint8_t& ui_select);

    void set(std::vector<QWidget*> items, Style style);
    // Every item with the same pair of styles.
    void set(std::vector<QWidget*> items, const QString& normal, const QString& focused);
    // Normal style on every item, focused style on `index`.
    void start(int index = 0);
    // Normal style on the focused item, then the focused style on `index`.
    void focus(int index);
    // One step left (-1) or right (+1), wrapping at both ends.
    void move(int delta);
    // Re-applies the styles (after an item changed kind, e.g. greyed).
    void restyle();
    // Gives the focused item its normal style, or its focused style again.
    void unfocus();
    void refocus();

    int index() const { return m_select; }
    int size() const { return int(m_items.size()); }
    QWidget* current() const;
    QWidget* at(int index) const;

private:
    uint8_t& m_select;
    std::vector<QWidget*> m_items;
    Style m_style;
};

// --------------------------------------------------------------- touch
// A list or field that only the keypad works: a finger's touch passes to
// what lies beneath it, as on a label, and one sent to the widget itself is
// dropped. A list then opens no drop-down and a field neither selects nor
// takes the focus.
void ignore_touches(QWidget* widget);

// ---------------------------------------------------------- navigation
// Every panel window, whatever its class, comes to the front through here
// whenever it is shown (a PanelDialog by itself, from its showEvent). With
// no window manager X stacks a window newly mapped on top but leaves the
// keys with the window a touch last activated, which may now lie beneath:
// so the window is raised over every other panel window and activated, and
// takes the keys. A window that is not modal, shown while a modal screen
// runs, is raised only: the modal screen keeps the keys (its back during a
// firmware upgrade). While the firmware dialog is up it stays over every
// window brought to the front after it; the keys still go to that window.
void bring_to_front(QWidget* window);
// show(), then bring_to_front().
void show_window(QWidget* window);
// Gives the keys back to `window` (when shown), which a screen or pop-up
// closing over it has uncovered: it is activated where it lies, under the
// firmware dialog while that is up, by the same rule as bring_to_front.
// Every road that closes a window and leaves the panel to the one beneath
// ends here.
void hand_keys_back(QWidget* window);

// Closes a screen: delete-on-close, then close(); ends its exec(). The
// object goes only when control is back in an event loop, so handlers
// still on the stack (a mode-key chain closes several screens at once)
// stay safe. A guarded screen (below) is closed at once, with the modal
// children run for it, but deleted only once its last guard is gone.
void close_screen(QWidget* screen);

// Held while a modal child (the number keyboard, a pop-up) runs for a
// screen. The child's event loop runs whatever is queued, a PC command that
// closes the screen included, while the handler that opened the child is
// still on the stack. Closing the screen then closes the child too, and
// the screen is deleted after the last guard is gone, once control is back
// in the loop the handler came from. GUI thread only.
class ScreenGuard {
public:
    explicit ScreenGuard(QWidget* screen, QWidget* child = nullptr);
    ~ScreenGuard();
    ScreenGuard(const ScreenGuard&) = delete;
    ScreenGuard& operator=(const ScreenGuard&) = delete;

    QWidget* screen() const { return m_screen; }
    QWidget* child() const { return m_child; }

private:
    QPointer<QWidget> m_screen;
    QPointer<QWidget> m_child;
};

// Runs `child` modally (exec()) for `screen`, under a guard, then hands the
// keys back to the screen when it is still shown; returns what exec()
// returned.
int exec_for(QWidget* screen, QDialog* child);

// Opens the shared number keyboard on `field`: the field becomes
// g_lineedit, the keyboard is titled `title` and starts from the field's
// text, and runs modally for the field's screen (exec_for: closing the
// screen closes the keyboard); returns when it closed (its OK reaches the
// screens connected to NumberKeyboard::sendKeyBoardUIDataToLineEdit).
// Nothing without a keyboard.
void open_number_keyboard(QLineEdit* field, const QString& title);

// Opens a child screen: creates it without parent, stores it in its global
// pointer, sets the page code, then runs it modally. Returns when it closed;
// the child may already be gone then.
template <class Screen>
void open_modal(Screen*& global, int page)
{
    Screen* screen = new Screen(nullptr);
    global = screen;
    g_page_focus = uint8_t(page);
    screen->exec();
}

// Opens a screen that runs without a nested loop (the standby and user-mode
// screens): creates it without parent, stores it in its global pointer,
// sets the page code and shows it on top (show_window).
template <class Screen>
void open_modeless(Screen*& global, int page)
{
    Screen* screen = new Screen(nullptr);
    global = screen;
    g_page_focus = uint8_t(page);
    show_window(screen);
}

// The back action: close `self`, clear its pointer, re-text the parent (when
// open), restore the parent's page code, then run `refresh(parent)` (when
// open): what a parent shows beyond its texts may have changed while the
// child was on top, and the dispatcher refreshed only the child, whose
// persisting took those changes into the snapshot the parent compares with.
// The parent then takes the keys back (hand_keys_back).
template <class Self, class Parent, class Refresh>
void go_back(QWidget* self, Self*& global, Parent* parent, int parentPage, Refresh&& refresh)
{
    close_screen(self);
    global = nullptr;
    if (parent)
        parent->language_changed();
    g_page_focus = uint8_t(parentPage);
    if (parent) {
        refresh(parent);
        hand_keys_back(parent);
    }
}
template <class Self, class Parent>
void go_back(QWidget* self, Self*& global, Parent* parent, int parentPage)
{
    go_back(self, global, parent, parentPage, [](Parent*) {});
}

// Closes an open screen through its global pointer and clears it.
template <class Screen>
void close_global(Screen*& global)
{
    if (Screen* screen = global) {
        global = nullptr;
        close_screen(screen);
    }
}

// Shows the user-mode screen as the mode key does: g_mode_shortcut_key = 1,
// a new CustomMode in g_custommode, page 4, shown on top (open_modeless).
void open_custommode_by_mode_key();

// The mode key on a screen: dropped while the panel is locked (returns false:
// the key then goes no further, not even to the global keys); otherwise
// closes this screen and the open ancestors given, innermost first, and
// shows the user-mode screen.
template <class Self, class... Ancestors>
bool mode_key_chain(QWidget* self, Self*& global, Ancestors*&... ancestors)
{
    if (panel_locked())
        return false;
    close_screen(self);
    global = nullptr;
    (close_global(ancestors), ...);
    open_custommode_by_mode_key();
    return true;
}

// The key handling of a screen with at most one focus ring: left and right
// move the ring (when there is one), OK runs `ok` with the ring index, back
// runs `back`, mode runs `mode` (false: the panel lock dropped it, and the
// key goes no further); then every other key, used or not, goes on to the
// global keys. Empty functions do nothing.
void ring_keys(int key, vyx_keyboard& keys, FocusRing* ring, const std::function<void(int)>& ok,
    const std::function<void()>& back, const std::function<bool()>& mode);

// ------------------------------------------------- refresh registration
// Calls the screen's syncUpdate(code) or syncUpdate(), whichever it has.
template <class Screen>
auto call_sync(Screen* s, int code, int) -> decltype(s->syncUpdate(code), void())
{
    s->syncUpdate(code);
}
template <class Screen>
auto call_sync(Screen* s, int, long) -> decltype(s->syncUpdate(), void())
{
    s->syncUpdate();
}

// The dispatcher's refresh of a page: the screen behind the global pointer,
// when it is open. A file-scope object in the screen's source registers it:
//   static const panel::PageRefresh<Option> kRefresh(kPageOption, g_option);
template <class Screen>
class PageRefresh {
public:
    PageRefresh(int page, Screen*& global)
    {
        Screen** where = &global;
        SyncUpdate::setPageRefresh(page, [where](int code) {
            if (Screen* screen = *where)
                call_sync(screen, code, 0);
        });
    }
};

// ------------------------------------------------------ other threads
// Runs `call` in the GUI thread, later (queued); nothing without an
// application object. Any thread.
void post_to_gui(std::function<void()> call);
// Runs `call` at once in the GUI thread; from any other thread it is queued
// there (post_to_gui), so it must find its widgets anew when it runs.
void run_in_gui(std::function<void()> call);

// Runs `call` on the screen in the GUI thread, but only if, once there, the
// screen is still open (its global pointer set) and, with page >= 0, still
// on top. Never touches the screen in the calling thread.
template <class Screen>
void post_to_screen(Screen* const& global, int page, std::function<void(Screen*)> call)
{
    Screen* const* where = &global;
    post_to_gui([where, page, call = std::move(call)] {
        if (page >= 0 && g_page_focus.load() != page)
            return;
        if (Screen* screen = *where)
            call(screen);
    });
}

// A hook of core/screen_hooks.h filled while the object lives: a screen
// holds one per hook it serves, so the hook is cleared when it closes.
template <class Which, class Fn>
class HookFill {
public:
    HookFill(Which which, Fn hook)
        : m_which(which)
    {
        screen_hooks::set(which, std::move(hook));
    }
    ~HookFill() { screen_hooks::set(m_which, Fn()); }
    HookFill(const HookFill&) = delete;
    HookFill& operator=(const HookFill&) = delete;

private:
    Which m_which;
};
using ScreenHookFill = HookFill<ScreenHook, screen_hooks::Hook>;
using ValueHookFill = HookFill<ScreenValueHook, screen_hooks::ValueHook>;
using ListHookFill = HookFill<ScreenListHook, screen_hooks::ListHook>;

} // namespace panel
