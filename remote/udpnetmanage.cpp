#include "remote/udpnetmanage.h"

udpnetManage* udpnetManage::p_udpnetManage = nullptr;

udpnetManage::udpnetManage()
    : QObject(nullptr)
{
}

udpnetManage* udpnetManage::pInstance()
{
    if (!p_udpnetManage)
        p_udpnetManage = new udpnetManage();
    return p_udpnetManage;
}

void udpnetManage::destroyForTest()
{
    delete p_udpnetManage;
    p_udpnetManage = nullptr;
}
