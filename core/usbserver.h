#pragma once
// The USB-stick watcher: kernel uevents and the storage-present check.

#include <QObject>

class UsbServer : public QObject {
    Q_OBJECT
public:
    static UsbServer* pInstance();
    static UsbServer* p_UsbServer;

    static void destroyForTest();

signals:
    void sig_usb_update(int code);

private:
    UsbServer();
};
