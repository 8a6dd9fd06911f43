#include "core/vyxrampara.h"
#include "core/utils.h"

#include <cstring>

VyxRamPara* VyxRamPara::p_vyxrampara_config = nullptr;

VyxRamPara::VyxRamPara()
    : QObject(nullptr)
{
    std::memset(ram_para, 0, sizeof ram_para);
    std::memset(ram_para_bak, 0, sizeof ram_para_bak);
    std::memset(user_mode, 0, sizeof user_mode);
    std::memset(local_reg, 0, sizeof local_reg);
    pthread_mutex_init(&store_mutex, nullptr);
}

VyxRamPara* VyxRamPara::pInstance()
{
    if (!p_vyxrampara_config)
        p_vyxrampara_config = new VyxRamPara();
    return p_vyxrampara_config;
}

int VyxRamPara::test_signal(int code)
{
    QMutexLocker lock(&Utils::_test_signal_mutex);
    emit sig_update_para(code);
    return 1;
}

void VyxRamPara::destroyForTest()
{
    delete p_vyxrampara_config;
    p_vyxrampara_config = nullptr;
}
