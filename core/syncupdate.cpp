#include "core/syncupdate.h"

SyncUpdate* SyncUpdate::p_SyncUpdate = nullptr;

SyncUpdate::SyncUpdate()
    : QObject(nullptr)
{
}

SyncUpdate* SyncUpdate::pInstance()
{
    if (!p_SyncUpdate)
        p_SyncUpdate = new SyncUpdate();
    return p_SyncUpdate;
}

void SyncUpdate::para_sync(int) {}

void SyncUpdate::update_usb_keyLed() {}

void SyncUpdate::destroyForTest()
{
    delete p_SyncUpdate;
    p_SyncUpdate = nullptr;
}
