#pragma once
// The change dispatcher: runs in the GUI thread for every change code and
// turns it into what must follow a change: the keypad LEDs, the refresh of
// the screen on top, user-mode saving and file sync, saving the parameter
// file and the network reset.

#include <QObject>
#include <cstdint>
#include <functional>

#include "core/change_codes.h"

// Kinds of the pop-up notice.
enum NoticeKind : int {
    kNoticeDone = 1,
    kNoticeUsbConnected = 3,
    kNoticeUsbUnplugged = 4,
    kNoticeReading = 5,
    // A receiving-card job ended without doing its work (kinds 0, 2 and 6
    // stay the ones that show nothing).
    kNoticeCardJobFailed = 7,
};

constexpr int kKeyLedReportSize = 5;

class SyncUpdate : public QObject {
    Q_OBJECT
public:
    static SyncUpdate* pInstance();
    static SyncUpdate* p_SyncUpdate;

    // Refresh of the screen with a page code: redraws what differs between
    // the image and the snapshot. Screens fill in their own entry; the
    // function is called with the change code. Returns the previous entry.
    using PageRefresh = std::function<void(int code)>;
    static PageRefresh setPageRefresh(int page, PageRefresh refresh);
    // The modal pop-up notice (returns when it closed). Returns the
    // previous hook.
    using NoticeHook = std::function<void(int kind)>;
    static NoticeHook setNoticeHook(NoticeHook notice);
    // Shows notice `kind` through the hook (GUI thread). Screens with a
    // notice of their own show it here too.
    static void notice(int kind);

    // Builds the keypad LED report and sends it when it differs from the
    // last one sent.
    void update_usb_keyLed();

    static void destroyForTest();

public slots:
    void para_sync(int code);

private:
    SyncUpdate();
    void refreshPage(int page, int code);
    void saveRequestedMode();
    void syncModeFiles();
    void resetNetwork();

    uint8_t m_lastKeyLed[kKeyLedReportSize] = {};
};
