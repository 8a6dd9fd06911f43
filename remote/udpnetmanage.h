#pragma once
// UDP ports 5008 and 10005.
#include <QObject>

class udpnetManage : public QObject {
    Q_OBJECT
public:
    static udpnetManage* pInstance();
    static udpnetManage* p_udpnetManage;
    static void destroyForTest();

private:
    udpnetManage();
};
