#pragma once
// The cloud client.

class networkclient_Manage {

public:
    static networkclient_Manage* pInstance();
    static networkclient_Manage* p_networkclient_Manage;
    static void destroyForTest();

private:
    networkclient_Manage();
};
