#include "core/usbserver.h"

UsbServer* UsbServer::p_UsbServer = nullptr;

UsbServer::UsbServer()
    : QObject(nullptr)
{
}

UsbServer* UsbServer::pInstance()
{
    if (!p_UsbServer)
        p_UsbServer = new UsbServer();
    return p_UsbServer;
}

void UsbServer::destroyForTest()
{
    delete p_UsbServer;
    p_UsbServer = nullptr;
}
