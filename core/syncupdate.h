#pragma once
// The change dispatcher: runs in the GUI thread for every change code.

#include <QObject>

class SyncUpdate : public QObject {
    Q_OBJECT
public:
    static SyncUpdate* pInstance();
    static SyncUpdate* p_SyncUpdate;

    void update_usb_keyLed();

    static void destroyForTest();

public slots:
    void para_sync(int code);

private:
    SyncUpdate();
};
