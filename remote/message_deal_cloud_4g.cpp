#include "remote/message_deal_cloud_4g.h"

networkclient_Manage* networkclient_Manage::p_networkclient_Manage = nullptr;

networkclient_Manage::networkclient_Manage()

{
}

networkclient_Manage* networkclient_Manage::pInstance()
{
    if (!p_networkclient_Manage)
        p_networkclient_Manage = new networkclient_Manage();
    return p_networkclient_Manage;
}

void networkclient_Manage::destroyForTest()
{
    delete p_networkclient_Manage;
    p_networkclient_Manage = nullptr;
}
