#pragma once
// TCP control port and port 10002.

class networkManage {

public:
    static networkManage* pInstance();
    static networkManage* p_networkManage;
    static void destroyForTest();

private:
    networkManage();
};
