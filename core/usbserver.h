#pragma once
// The USB-stick watcher: kernel uevents and the storage-present check.

#include <QObject>
#include <functional>
#include <vector>

#include "core/repeat_gate.h"
#include "platform/worker.h"

class UsbServer : public QObject {
    Q_OBJECT
public:
    static UsbServer* pInstance();
    static UsbServer* p_UsbServer;

    // 0 when the watcher runs, 255 when the event socket or the thread
    // could not be started.
    int initialize();
    // Emits sig_usb_update(code); returns 1.
    int usb_signal(int code);
    // One poll of the event socket: 255 when waiting failed, else 0.
    int recvData();
    static void* acceptThread(void* arg);
    // The watcher keeps no client sockets; these exist for callers that
    // would release them.
    void unInitialize() {}
    void delete_clinetSocket(int) {}

    // Closes the settings menu; run in the GUI thread when the storage is
    // ready while the menu (page 5) is on top. Set by the menu's owner.
    static void setSettingsMenuCloser(std::function<void()> closer);

    // What one event header ("action@devpath") asks for, in order:
    // kChangeDeviceAdded, kChangeDeviceRemoved, and kChangeStorageReady for
    // a partition of sda (signalled once the storage is there).
    static std::vector<int> eventActions(const QString& header);

    static void destroyForTest();

signals:
    void sig_usb_update(int code);

private:
    UsbServer();
    ~UsbServer() override;

    void handleEvent(const QString& header);
    // Waits for "/proc/scsi/usb-storage", then about 3 s more; false when
    // it never appeared or the thread is asked to stop.
    bool waitForStorage();
    bool pauseTick();

    platform::Worker m_worker;
    bool m_open = false;
    // A wait that keeps failing, ten times a second, is named once.
    RepeatGate m_receiveErrors;
};
