#pragma once
// Calls that threads other than the GUI thread (the PC links, the FPGA
// worker) make into screens. A screen fills its hook when it is built; the
// caller posts the call, which then runs in the GUI thread. A hook nobody
// filled, or a call whose screen is no longer on top when the GUI thread
// gets to it, does nothing.

#include <functional>

enum class ScreenHook : int {
    AdvancedOptionLanguageChanged, // AdvancedOption::language_changed on g_advancedoption
    OptionLanguageChanged,         // Option::language_changed on g_option
    SmartMappingBack,              // SmartMapping::Button_back_clicked on g_smartmapping
    RcvRecoveryBack,               // rcv_recovery::menulist_back_page on g_rcv_recovery
    FirmwareUpdateStart,           // firmware_update_start: the "do not power off" dialog
    FirmwareUpdateOver,            // firmware_update_over: closes it
    Count,
};

namespace screen_hooks {

using Hook = std::function<void()>;

// Fills (or with an empty function clears) a hook; returns the previous one.
// GUI thread.
Hook set(ScreenHook which, Hook hook);

// Runs the hook now, in the calling thread (GUI thread only).
void run(ScreenHook which);

// Queues the hook to the GUI thread. With `page` >= 0 it runs only when
// g_page_focus still equals `page` there. Any thread; nothing happens when
// there is no application object.
void post(ScreenHook which, int page = -1);

} // namespace screen_hooks
