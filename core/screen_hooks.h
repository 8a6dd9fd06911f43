#pragma once
// Calls that threads other than the GUI thread (the PC links, the FPGA
// worker) make into screens. A screen fills its hook when it is built; the
// caller posts the call, which then runs in the GUI thread. A hook nobody
// filled, or a call whose screen is no longer on top when the GUI thread
// gets to it, does nothing.

#include <QStringList>
#include <functional>

enum class ScreenHook : int {
    AdvancedOptionLanguageChanged, // AdvancedOption::language_changed on g_advancedoption
    OptionLanguageChanged,         // Option::language_changed on g_option
    SmartMappingBack,              // SmartMapping::Button_back_clicked on g_smartmapping
    RcvRecoveryBack,               // rcv_recovery::menulist_back_page on g_rcv_recovery
    FirmwareUpdateStart,           // firmware_update_start: the "do not power off" dialog
    FirmwareUpdateOver,            // firmware_update_over: closes it
    // A receiving-card job ended without doing its work; posted after the
    // progress value that closes the ring, so the notice comes after it.
    SmartMappingJobFailed, // the failure notice over g_smartmapping: jobs 1-4
    RcvRecoveryJobFailed,  // the failure notice over g_rcv_recovery: jobs 5 and 6
    Count,
};

// Calls that carry a value.
enum class ScreenValueHook : int {
    // Progress 0-100 of the FPGA worker's receiving-card jobs, for the
    // progress ring (values above 99 close it).
    SmartMappingProgress, // SmartMapping::sig_qround_bar_update(int) on g_smartmapping: jobs 1-4
    RcvRecoveryProgress,  // rcv_recovery::sig_qround_bar_update(int) on g_rcv_recovery: jobs 5 and 6
    Count,
};

// Calls that carry a list of lines.
enum class ScreenListHook : int {
    // rcv_recovery on g_rcv_recovery: its recovery list becomes these lines
    // ("SS/PP/CC/NN") and its entry count their number; an empty list
    // clears it. The worker posts it before the change code (1 or 99) that
    // has the screen rebuild its list.
    RcvRecoveryList,
    Count,
};

namespace screen_hooks {

using Hook = std::function<void()>;
using ValueHook = std::function<void(int)>;
using ListHook = std::function<void(const QStringList&)>;

// Fills (or with an empty function clears) a hook; returns the previous one.
// GUI thread.
Hook set(ScreenHook which, Hook hook);

// Runs the hook now, in the calling thread (GUI thread only).
void run(ScreenHook which);

// Queues the hook to the GUI thread. With `page` >= 0 it runs only when
// g_page_focus still equals `page` there. Any thread; nothing happens when
// there is no application object.
void post(ScreenHook which, int page = -1);

// The same for the hooks with a value: set in the GUI thread, posted from
// any thread, run in the GUI thread with the value posted. A hook nobody
// filled when the GUI thread gets to the call does nothing.
ValueHook set(ScreenValueHook which, ValueHook hook);
void post(ScreenValueHook which, int value);
ListHook set(ScreenListHook which, ListHook hook);
void post(ScreenListHook which, const QStringList& lines);

} // namespace screen_hooks
