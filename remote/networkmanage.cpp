#include "remote/networkmanage.h"

networkManage* networkManage::p_networkManage = nullptr;

networkManage::networkManage()

{
}

networkManage* networkManage::pInstance()
{
    if (!p_networkManage)
        p_networkManage = new networkManage();
    return p_networkManage;
}

void networkManage::destroyForTest()
{
    delete p_networkManage;
    p_networkManage = nullptr;
}
